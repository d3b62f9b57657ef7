  ; The fitter's working folder: the program keeps Korvel.ini there and reads the language files
  ; from ..\Lang beside it. It lies under the installing user's local application data, where a
  ; fitter can write without administrator rights (the program folder under Program Files is not).
  Var /GLOBAL KorvelWork
  ReadEnvStr $KorvelWork LOCALAPPDATA
  StrCmp $KorvelWork "" 0 +2
    StrCpy $KorvelWork "$PROFILE\AppData\Local"
  StrCpy $KorvelWork "$KorvelWork\Korvel"
  CreateDirectory "$KorvelWork\bin"
  SetOutPath "$KorvelWork\Lang"
  File "@KORVEL_LANG_DIR@/Korvel_lang.pol"
  File "@KORVEL_LANG_DIR@/Korvel_lang.ang"
  SetOutPath "$INSTDIR"
