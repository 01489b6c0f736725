#pragma once
#include <QCoreApplication>

// The window's fixed texts, exactly as the user sees them by default (UTF-8 source). Each
// one marked for translation is the source text of the window's translations: the window
// shows it through QCoreApplication::translate in the context kTextContext, so the
// English catalogue (app/translations/velqor_en.ts) replaces it when English is chosen.
namespace texts {

inline constexpr const char *kTextContext = "MainWindow";

// A text of this file in the language chosen at start; untranslated texts stay as they are.
inline QString Tr(const char *source)
{
    return QCoreApplication::translate(kTextContext, source);
}

inline constexpr const char *kProgramTitle = "Velqor";
inline constexpr const char *kWindowCaptionName = "Velqor";
inline constexpr int kWindowCaptionBlanks = 109;
inline constexpr const char *kWindowCaptionVersion = "V2.8";

// The vendor's page, shown in the address group and opened by a click on the work-mode caption.
inline constexpr const char *kVendorUrl = "http://www.velqor.example";
inline constexpr const char *kPictureWord = "Velqor";

inline constexpr const char *kPortGroup = QT_TRANSLATE_NOOP("MainWindow", " 通讯设置 ");
inline constexpr const char *kPresetGroup = QT_TRANSLATE_NOOP("MainWindow", " 预设值 ");
inline constexpr const char *kAddressGroup = QT_TRANSLATE_NOOP("MainWindow", " 模块地址更改 ");

// Captions beside the lists and boxes.
inline constexpr const char *kPortNumber = QT_TRANSLATE_NOOP("MainWindow", "串口号");
inline constexpr const char *kBaudRate = QT_TRANSLATE_NOOP("MainWindow", "波特率");
inline constexpr const char *kParity = QT_TRANSLATE_NOOP("MainWindow", "校验位");
inline constexpr const char *kDataBits = QT_TRANSLATE_NOOP("MainWindow", "数据位");
inline constexpr const char *kStopBits = QT_TRANSLATE_NOOP("MainWindow", "停止位");
// The parameters' captions are their rows' (device/parameter_table.h).
inline constexpr const char *kModuleAddress = QT_TRANSLATE_NOOP("MainWindow", "模块地址:");

// Buttons.
inline constexpr const char *kPortClosedCaption = QT_TRANSLATE_NOOP("MainWindow", "打开串口");  // the port is closed
inline constexpr const char *kPortOpenCaption = QT_TRANSLATE_NOOP("MainWindow", "关闭串口");    // the port is open
inline constexpr const char *kWrite = QT_TRANSLATE_NOOP("MainWindow", "设 置");
inline constexpr const char *kRead = QT_TRANSLATE_NOOP("MainWindow", "读 取");
inline constexpr const char *kChangeAddress = QT_TRANSLATE_NOOP("MainWindow", "修 改");

inline constexpr const char *kNoParity = QT_TRANSLATE_NOOP("MainWindow", "无校验");
inline constexpr const char *kOddParity = QT_TRANSLATE_NOOP("MainWindow", "奇校验");
inline constexpr const char *kEvenParity = QT_TRANSLATE_NOOP("MainWindow", "偶校验");

inline constexpr const char *kOn = "ON";
inline constexpr const char *kOff = "OFF";

// Message boxes.
inline constexpr const char *kPortMissing = QT_TRANSLATE_NOOP("MainWindow", "串口不存在！");
inline constexpr const char *kPortAlreadyOpen = QT_TRANSLATE_NOOP("MainWindow", "串口已打开！");
inline constexpr const char *kOtherError = QT_TRANSLATE_NOOP("MainWindow", "其它错误");
inline constexpr const char *kOpenPortFirst = QT_TRANSLATE_NOOP("MainWindow", "请先打开串口！");
inline constexpr const char *kParameterError = QT_TRANSLATE_NOOP("MainWindow", "参数设置错误！");
// Followed by the file's name and the reason.
inline constexpr const char *kSetNotRead = QT_TRANSLATE_NOOP("MainWindow", "参数文件无法读取：");
inline constexpr const char *kSetNotSaved = QT_TRANSLATE_NOOP("MainWindow", "参数文件无法保存：");

// The status field.
inline constexpr const char *kReplyGood = QT_TRANSLATE_NOOP("MainWindow", "通讯数据正常！");
inline constexpr const char *kReplyBad = QT_TRANSLATE_NOOP("MainWindow", "通讯数据错误！");

// The search window (Ctrl+F, and the entry on the Slave ID list's menu).
inline constexpr const char *kFindModules = QT_TRANSLATE_NOOP("MainWindow", "查找模块…");
inline constexpr const char *kSearchTitle = QT_TRANSLATE_NOOP("MainWindow", "查找模块");
inline constexpr const char *kAllRates = QT_TRANSLATE_NOOP("MainWindow", "所有波特率");
inline constexpr const char *kStartSearch = QT_TRANSLATE_NOOP("MainWindow", "开始");
inline constexpr const char *kUseModule = QT_TRANSLATE_NOOP("MainWindow", "选用");
inline constexpr const char *kCancel = QT_TRANSLATE_NOOP("MainWindow", "取消");
// %1 the rate, %2 the address being asked
inline constexpr const char *kSearching = QT_TRANSLATE_NOOP("MainWindow", "%1 波特率  地址 %2");
// %1 the address, %2 the rate
inline constexpr const char *kFoundModule = QT_TRANSLATE_NOOP("MainWindow", "地址 %1  波特率 %2");
inline constexpr const char *kModulesFound = QT_TRANSLATE_NOOP("MainWindow", "找到 %1 个模块");
inline constexpr const char *kSearchCancelled = QT_TRANSLATE_NOOP("MainWindow", "已取消");

} // namespace texts
