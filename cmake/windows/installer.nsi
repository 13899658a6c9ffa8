; The per-user installer of the Windows release, built by cmake/windows-package.sh:
;   makensis -INPUTCHARSET UTF8 -DVERSION=1.5 -DSTAGE=<folder> -DOUTFILE=<setup.exe> installer.nsi
; The tool keeps Sets\ and Sys\ beside its programs, so it goes into a folder
; the user can write, not Program Files, and needs no administrator.
; Silent: setup.exe /S [/D=folder]; the uninstaller keeps Sets\ unless asked
; (silently: Uninstall.exe /S /REMOVESETS).
; A 64-bit installer for the 64-bit programs (a 64-bit-only Wine runs no 32-bit stub).
Target amd64-unicode
!include MUI2.nsh
!include FileFunc.nsh

Name "Trackwarden ${VERSION}"
OutFile "${OUTFILE}"
RequestExecutionLevel user
InstallDir "$LOCALAPPDATA\Programs\Trackwarden"
InstallDirRegKey HKCU "Software\Trackwarden" "InstallDir"
SetCompressor /SOLID lzma
ManifestDPIAware true

!define UNINSTKEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Trackwarden"

!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_RUN "$INSTDIR\trackwarden.exe"
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_LICENSE "${STAGE}\licenses\README.txt"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Polish"

Section "Trackwarden"
  SetShellVarContext current
  SetOutPath "$INSTDIR"
  File /r "${STAGE}\*.*"
  CreateDirectory "$INSTDIR\Sets"
  CreateDirectory "$INSTDIR\Sys"
  WriteUninstaller "$INSTDIR\Uninstall.exe"
  CreateDirectory "$SMPROGRAMS\Trackwarden"
  CreateShortcut "$SMPROGRAMS\Trackwarden\Trackwarden.lnk" "$INSTDIR\trackwarden.exe" "" "$INSTDIR\trackwarden.exe" 0
  CreateShortcut "$SMPROGRAMS\Trackwarden\Odinstaluj Trackwarden.lnk" "$INSTDIR\Uninstall.exe"
  WriteRegStr HKCU "Software\Trackwarden" "InstallDir" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTKEY}" "DisplayName" "Trackwarden ${VERSION}"
  WriteRegStr HKCU "${UNINSTKEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTKEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTKEY}" "DisplayIcon" "$INSTDIR\trackwarden.exe"
  WriteRegStr HKCU "${UNINSTKEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKCU "${UNINSTKEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTKEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTKEY}" "NoRepair" 1
SectionEnd

Var RemoveSets

Function un.onInit
  StrCpy $RemoveSets 0
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/REMOVESETS" $1
  IfErrors 0 remove
  ; Asked only when the folder holds something; a silent uninstall keeps it.
  IfFileExists "$INSTDIR\Sets\*.*" 0 done
  MessageBox MB_YESNO|MB_ICONQUESTION|MB_DEFBUTTON2 \
    "Usunąć także zapisane zestawy ustawień (folder Sets)?$\r$\nNie - zestawy zostaną w $INSTDIR\Sets." \
    /SD IDNO IDNO done
remove:
  StrCpy $RemoveSets 1
done:
FunctionEnd

Section "Uninstall"
  SetShellVarContext current
  Delete "$SMPROGRAMS\Trackwarden\Trackwarden.lnk"
  Delete "$SMPROGRAMS\Trackwarden\Odinstaluj Trackwarden.lnk"
  RMDir "$SMPROGRAMS\Trackwarden"
  Delete "$INSTDIR\*.exe"
  Delete "$INSTDIR\*.txt"
  RMDir /r "$INSTDIR\translations"
  RMDir /r "$INSTDIR\licenses"
  RMDir /r "$INSTDIR\relink"
  RMDir /r "$INSTDIR\Sys"
  StrCmp $RemoveSets 1 0 +2
    RMDir /r "$INSTDIR\Sets"
  ; Only if nothing of the user's is left.
  RMDir "$INSTDIR"
  DeleteRegKey HKCU "${UNINSTKEY}"
  DeleteRegKey HKCU "Software\Trackwarden"
SectionEnd
