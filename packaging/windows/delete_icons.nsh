  Delete "$SMPROGRAMS\$MUI_TEMP\Korvel.lnk"
  DeleteRegKey /ifempty SHCTX "Software\Korvel"
