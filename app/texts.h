#pragma once

// The window's fixed texts, exactly as the user sees them (UTF-8 source).
namespace texts {

inline constexpr const char *kProgramTitle = "Velqor";
inline constexpr const char *kWindowCaptionName = "Velqor";
inline constexpr int kWindowCaptionBlanks = 109;
inline constexpr const char *kWindowCaptionVersion = "V2.8";

// The vendor's page, shown in Label30 and opened by a click on the work-mode caption.
inline constexpr const char *kVendorUrl = "http://www.velqor.example";
inline constexpr const char *kPictureWord = "Velqor";

inline constexpr const char *kFrame1 = " 通讯设置 ";
inline constexpr const char *kFrame3 = " 预设值 ";
inline constexpr const char *kFrame2 = " 模块地址更改 ";

inline constexpr const char *kPortClosedCaption = "打开串口";  // the port is closed
inline constexpr const char *kPortOpenCaption = "关闭串口";    // the port is open

inline constexpr const char *kNoParity = "无校验";
inline constexpr const char *kOddParity = "奇校验";
inline constexpr const char *kEvenParity = "偶校验";

inline constexpr const char *kOn = "ON";
inline constexpr const char *kOff = "OFF";

// Message boxes.
inline constexpr const char *kPortMissing = "串口不存在！";
inline constexpr const char *kPortAlreadyOpen = "串口已打开！";
inline constexpr const char *kOtherError = "其它错误";
inline constexpr const char *kOpenPortFirst = "请先打开串口！";
inline constexpr const char *kParameterError = "参数设置错误！";
inline constexpr const char *kAddressNotSet = "模块地址未设置！";
// Followed by the file's name and the reason.
inline constexpr const char *kSetNotRead = "参数文件无法读取：";
inline constexpr const char *kSetNotSaved = "参数文件无法保存：";

// The status field.
inline constexpr const char *kReplyGood = "通讯数据正常！";
inline constexpr const char *kReplyBad = "通讯数据错误！";

} // namespace texts
