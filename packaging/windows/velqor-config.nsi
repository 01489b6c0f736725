; The Windows installer: the window and velqorctl with the DLLs they load, Start-menu entries
; for the window in Chinese and in English, and an uninstaller. scripts/windows builds it:
;   makensis -DVERSION=2.8 -DSTAGE=<folder with what is installed> -DOUTFILE=<setup.exe> velqor-config.nsi
; STAGE holds the programs, their DLLs, platforms\ and styles\, LICENSE.txt and QT-LICENSE.txt.
Target amd64-unicode
Unicode true
SetCompressor /SOLID lzma
RequestExecutionLevel admin

!include "MUI2.nsh"
!include "LogicLib.nsh"
!include "x64.nsh"
!include "FileFunc.nsh"

!define PRODUCT "velqor-config"
!define MENU_FOLDER "Velqor"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${PRODUCT}"
!define PUBLISHER "The velqor-config developers"
; Both programs hold this name while they run (CreateMutex at their start).
!define RUNNING_MUTEX "VelqorConfigRunning"

Name "Velqor Config ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\${PRODUCT}"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
!define MUI_ICON "velqor-config.ico"
!define MUI_UNICON "velqor-config.ico"

!insertmacro MUI_PAGE_WELCOME
!define MUI_LICENSEPAGE_TEXT_TOP "$(ToolLicenceTop)"
!insertmacro MUI_PAGE_LICENSE "${STAGE}\LICENSE.txt"
; The LGPL asks nothing of the one who installs: this page informs, its button goes on.
!define MUI_LICENSEPAGE_TEXT_TOP "$(QtLicenceTop)"
!define MUI_LICENSEPAGE_TEXT_BOTTOM "$(QtLicenceBottom)"
!define MUI_LICENSEPAGE_BUTTON "$(^NextBtn)"
!insertmacro MUI_PAGE_LICENSE "${STAGE}\QT-LICENSE.txt"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_LANGUAGE "SimpChinese"

LangString ToolLicenceTop ${LANG_ENGLISH} "velqor-config is free software under the MIT licence:"
LangString ToolLicenceTop ${LANG_SIMPCHINESE} "velqor-config 是自由软件，以 MIT 许可证发布："
LangString QtLicenceTop ${LANG_ENGLISH} "It comes with Qt, used under the GNU LGPL version 3:"
LangString QtLicenceTop ${LANG_SIMPCHINESE} "它附带 Qt，依 GNU LGPL 第 3 版使用："
LangString QtLicenceBottom ${LANG_ENGLISH} "For your information: this licence asks nothing of you to install or use the program."
LangString QtLicenceBottom ${LANG_SIMPCHINESE} "仅供参阅：安装和使用本程序无须您同意此许可证。"
LangString Running ${LANG_ENGLISH} "Velqor Config is running (the window or velqorctl). Close it, then choose Retry."
LangString Running ${LANG_SIMPCHINESE} "Velqor Config 正在运行（窗口或 velqorctl）。请先关闭它，再点“重试”。"
LangString FilesLeft ${LANG_ENGLISH} "Some files could not be removed from $INSTDIR; close Velqor Config and uninstall again."
LangString FilesLeft ${LANG_SIMPCHINESE} "$INSTDIR 中有文件无法删除；请关闭 Velqor Config 后再卸载一次。"

; Running: the programs' name is held, or an installed program file cannot be opened for
; writing (a program of an older install runs). Leaves 1 in $0 when running, else 0.
!macro IsRunning UN
Function ${UN}IsRunning
    StrCpy $0 0
    System::Call 'kernel32::OpenMutexW(i 0x00100000, i 0, w "${RUNNING_MUTEX}") p .r1'
    ${If} $1 != 0
        System::Call 'kernel32::CloseHandle(p r1)'
        StrCpy $0 1
        Return
    ${EndIf}
    ${ForEach} $2 0 1 + 1
        ${If} $2 == 0
            StrCpy $3 "$INSTDIR\velqor-config.exe"
        ${Else}
            StrCpy $3 "$INSTDIR\velqorctl.exe"
        ${EndIf}
        ${If} ${FileExists} $3
            ClearErrors
            FileOpen $4 $3 a
            ${If} ${Errors}
                StrCpy $0 1
            ${Else}
                FileClose $4
            ${EndIf}
        ${EndIf}
    ${Next}
FunctionEnd

; Asks to close the programs until they are closed or the user gives up; silent: exits 2
; at once, having changed nothing.
Function ${UN}WaitUntilClosed
    ${Do}
        Call ${UN}IsRunning
        ${If} $0 == 0
            Return
        ${EndIf}
        ${If} ${Silent}
            SetErrorLevel 2
            Quit
        ${EndIf}
        MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "$(Running)" /SD IDCANCEL IDRETRY retry
        SetErrorLevel 2
        Quit
        retry:
    ${Loop}
FunctionEnd
!macroend
!insertmacro IsRunning ""
!insertmacro IsRunning "un."

Function .onInit
    SetRegView 64
    ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
    ${IfNot} $0 == ""
        StrCpy $INSTDIR $0
    ${EndIf}
    Call WaitUntilClosed
FunctionEnd

Section "Install"
    SetShellVarContext all
    SetOutPath "$INSTDIR"
    File /r "${STAGE}\*.*"
    WriteUninstaller "$INSTDIR\uninstall.exe"

    ; Started from here the window works in the program's folder, which it leaves for
    ; %APPDATA%\velqor-config, where com.txt is kept for each user.
    SetOutPath "$INSTDIR"
    CreateDirectory "$SMPROGRAMS\${MENU_FOLDER}"
    CreateShortcut "$SMPROGRAMS\${MENU_FOLDER}\Velqor 配置工具.lnk" "$INSTDIR\velqor-config.exe"
    CreateShortcut "$SMPROGRAMS\${MENU_FOLDER}\Velqor Config (English).lnk" "$INSTDIR\velqor-config.exe" "--lang en"
    ; A command prompt in the user's own folder in which velqorctl runs by name.
    CreateShortcut "$SMPROGRAMS\${MENU_FOLDER}\velqorctl (command prompt).lnk" "$SYSDIR\cmd.exe" \
        '/k "cd /d %USERPROFILE% && set "PATH=$INSTDIR;%PATH%" && velqorctl --version"'
    CreateShortcut "$SMPROGRAMS\${MENU_FOLDER}\Uninstall Velqor Config.lnk" "$INSTDIR\uninstall.exe"

    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Velqor Config"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\velqor-config.exe"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
    ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
    IntFmt $0 "0x%08X" $0
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Function un.onInit
    SetRegView 64
    Call un.WaitUntilClosed
FunctionEnd

Section "Uninstall"
    SetShellVarContext all
    ; Only what the installer put there: the user's settings in %APPDATA% stay.
    Delete "$INSTDIR\velqor-config.exe"
    Delete "$INSTDIR\velqorctl.exe"
    Delete "$INSTDIR\*.dll"
    Delete "$INSTDIR\LICENSE.txt"
    Delete "$INSTDIR\QT-LICENSE.txt"
    RMDir /r "$INSTDIR\platforms"
    RMDir /r "$INSTDIR\styles"
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"
    ; Never "completed" with files left: a file still held fails the uninstall, and the
    ; entries that find the program stay. (uninstall.exe itself stays when it was run in
    ; its folder with _?=.)
    ${If} ${FileExists} "$INSTDIR\velqor-config.exe"
    ${OrIf} ${FileExists} "$INSTDIR\velqorctl.exe"
    ${OrIf} ${FileExists} "$INSTDIR\*.dll"
    ${OrIf} ${FileExists} "$INSTDIR\platforms\*.*"
    ${OrIf} ${FileExists} "$INSTDIR\styles\*.*"
        SetErrorLevel 3
        MessageBox MB_OK|MB_ICONSTOP "$(FilesLeft)" /SD IDOK
        Abort "$(FilesLeft)"
    ${EndIf}
    Delete "$SMPROGRAMS\${MENU_FOLDER}\*.lnk"
    RMDir "$SMPROGRAMS\${MENU_FOLDER}"
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
