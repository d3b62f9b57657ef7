  ; Remembered for the uninstaller, which may run as another user.
  WriteRegStr SHCTX "Software\Korvel\Korvel" "WorkingFolder" "$KorvelWork"
