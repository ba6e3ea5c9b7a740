# Writes the message-table data files into a C++ source as raw text.
file(READ ${IN1} T1)
file(READ ${IN2} T2)
file(WRITE ${OUT} "// Generated from driver/datamodule/msgPadrao*.txt. Do not edit.\n"
  "extern const char* const kMsgPadraoText;\nextern const char* const kMsgPadrao2Text;\n"
  "const char* const kMsgPadraoText = R\"QORMSG(${T1})QORMSG\";\n"
  "const char* const kMsgPadrao2Text = R\"QORMSG(${T2})QORMSG\";\n")
