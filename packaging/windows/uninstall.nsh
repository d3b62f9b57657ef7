  ; The language files copied into the fitter's working folder go; the folder itself goes only when
  ; it is empty, so Korvel.ini and the fitter's saved configurations stay.
  ReadRegStr $R0 SHCTX "Software\Korvel\Korvel" "WorkingFolder"
  StrCmp $R0 "" korvel_work_done
    Delete "$R0\Lang\Korvel_lang.pol"
    Delete "$R0\Lang\Korvel_lang.ang"
    RMDir "$R0\Lang"
    RMDir "$R0\bin"
    RMDir "$R0"
  korvel_work_done:
  Delete "$DESKTOP\Korvel.lnk"
