; The installer's Polish texts (UTF-8; included with /CHARSET=UTF8).
!define TW_ASK_REMOVE_SETS "Usunąć także zapisane zestawy ustawień (folder Sets)?$\r$\nNie - zestawy zostaną w $INSTDIR\Sets."
!define TW_SET_TYPE "Zestaw ustawień Trackwarden"
