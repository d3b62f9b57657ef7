  ; The shortcuts start the program in the fitter's working folder (a shortcut's working folder is
  ; the output path at the time it is made).
  SetOutPath "$KorvelWork\bin"
  CreateShortCut "$SMPROGRAMS\$STARTMENU_FOLDER\Korvel.lnk" "$INSTDIR\bin\korvel.exe" "" "$INSTDIR\bin\korvel.exe" 0
  CreateShortCut "$DESKTOP\Korvel.lnk" "$INSTDIR\bin\korvel.exe" "" "$INSTDIR\bin\korvel.exe" 0
  SetOutPath "$INSTDIR"
