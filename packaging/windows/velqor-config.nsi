; The Windows installer: the window and velqorctl with the DLLs they load, Start-menu entries
; for the window in Chinese and in English, and an uninstaller. scripts/windows builds it:
;   makensis -DVERSION=2.8 -DSTAGE=<folder with what is installed> -DOUTFILE=<setup.exe> velqor-config.nsi
; STAGE holds the programs, their DLLs, platforms\ and styles\, LICENSE.txt and QT-LICENSE.txt.
Target amd64-unicode
Unicode true
SetCompressor /SOLID lzma
RequestExecutionLevel admin

!include "MUI2.nsh"
!include "x64.nsh"

!define PRODUCT "velqor-config"
!define MENU_FOLDER "Velqor"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${PRODUCT}"

Name "Velqor Config ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\${PRODUCT}"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
!define MUI_ICON "velqor-config.ico"
!define MUI_UNICON "velqor-config.ico"

!insertmacro MUI_PAGE_WELCOME
!define MUI_LICENSEPAGE_TEXT_TOP "velqor-config is free software under the MIT licence:"
!insertmacro MUI_PAGE_LICENSE "${STAGE}\LICENSE.txt"
!define MUI_LICENSEPAGE_TEXT_TOP "It comes with Qt, used under the GNU LGPL version 3:"
!insertmacro MUI_PAGE_LICENSE "${STAGE}\QT-LICENSE.txt"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_LANGUAGE "SimpChinese"

Function .onInit
    SetRegView 64
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
    CreateShortcut "$SMPROGRAMS\${MENU_FOLDER}\Uninstall Velqor Config.lnk" "$INSTDIR\uninstall.exe"

    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Velqor Config"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\velqor-config.exe"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Function un.onInit
    SetRegView 64
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
    Delete "$SMPROGRAMS\${MENU_FOLDER}\*.lnk"
    RMDir "$SMPROGRAMS\${MENU_FOLDER}"
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
