// What the status analysis makes of the vendor's return codes and of the
// printer's two status bytes: the message key for each, in the order the
// analysis reports them; and the decoding of the bytes that the analysis
// and the printer check (ImpressoraOk) share.
#pragma once
#include <string>

namespace Qor01100::status {

struct ReturnCodeEntry {
  int code;
  const char* key;
  const char* scheme;  // colour scheme of the dialog
};

// Return codes that are errors; any other code passes this check.
inline constexpr ReturnCodeEntry kReturnCodes[] = {
    {0, "ErroComunicacao", "002"}, {-1, "ErroExecucao", ""},  {-2, "ParamInvalido", ""},
    {-3, "AliqNProg", ""},         {-4, "ErroArqIni", ""},    {-5, "ErroPorta", ""},
    {-6, "ImpDeslig", ""},         {-7, "BancoNCad", ""},     {-8, "Erro_Gravacao", ""},
    {-18, "ErroAbrirArq", ""},     {-19, "ParamErro", ""},    {-20, "TransCanc", ""},
    {-21, "TransAprov", ""},       {-22, "ImpNConcl", ""},    {-23, "OperNConcl", ""},
    {-24, "FormPgtoNProg", ""},    {-25, "TotNFisNProg", ""}, {-26, "TransEfet", ""},
    {-28, "InfNImpre", ""},
};

enum class BitHandling {
  Error,       // logged, appended to stMensagemTaa, dialog when asked, result false
  LowPaper,    // logged; dialog only on the coupon opening; result unchanged
  CouponOpen,  // logged; cancels the coupon when asked; result unchanged
};

struct StatusBit {
  int weight;
  const char* key;
  BitHandling handling;
};

// Status byte 1, highest bit first.
inline constexpr StatusBit kStatus1[] = {
    {128, "FimPapel", BitHandling::Error},   {64, "PoucoPapel", BitHandling::LowPaper},
    {32, "ErroRelogio", BitHandling::Error}, {16, "ImpErro", BitHandling::Error},
    {8, "SyntaxErro", BitHandling::Error},   {4, "ComandoErro", BitHandling::Error},
    {2, "CupomAberto", BitHandling::CouponOpen}, {1, "ParamErro", BitHandling::Error},
};

// Status byte 2, highest bit first; every bit is an error.
inline constexpr StatusBit kStatus2[] = {
    {128, "TipoParamErro", BitHandling::Error}, {64, "MemLotada", BitHandling::Error},
    {32, "MemRAMErro", BitHandling::Error},     {16, "AliqNProg", BitHandling::Error},
    {8, "AliqLotada", BitHandling::Error},      {4, "CancNPermitido", BitHandling::Error},
    {2, "CGCIENProg", BitHandling::Error},      {1, "ComandoNExec", BitHandling::Error},
};

// The acknowledge byte that means the printer refused the frame.
inline constexpr int kNak = 21;

// Calls on(bit) for each bit the two status bytes report: byte 1's, then
// byte 2's, each in table order. A byte is decoded by subtracting each
// weight it reaches, highest first (for a byte, a test of bits 7 to 0).
template <class OnBit>
void DecodeStatus(int st1, int st2, OnBit&& on) {
  auto decode = [&](int value, const auto& table) {
    for (const StatusBit& bit : table) {
      if (value < bit.weight) continue;
      value -= bit.weight;
      on(bit);
    }
  };
  decode(st1, kStatus1);
  decode(st2, kStatus2);
}

// The status an analysis read: whether the query answered (code 1, no NAK)
// and the two bytes.
struct ReadStatus {
  bool answered = false;
  int st1 = 0, st2 = 0;
};

// What the analysis of one return code came to: its verdict (AnalisaRetorno's
// result) and the status it read for that code. Handed back as a value: the
// analysis may itself send a cancellation, whose own analysis reads the
// status again, so nothing about this code is left in a global to be read
// afterwards.
struct Verdict {
  bool ok = false;
  ReadStatus status;
};

// The status analysis (AnalisaRetorno's steps) of `code` with its three flags.
Verdict Judge(int code, bool boMsg, bool boFechaCupom, bool boAbreCupom);

// Byte bits that mean the printer did not execute the command: byte 2's
// "not executed" and parameter-type bits, byte 1's syntax, command and
// parameter error bits.
inline constexpr int kNotExecuted1 = 8 | 4 | 1;
inline constexpr int kNotExecuted2 = 128 | 1;

// What every status check does with a coupon-open bit: logs its text and,
// when asked, cancels the coupon (its code analysed, inRetorno left alone).
void CancelCouponReportedOpen(const std::string& text, bool boFechaCupom);

}  // namespace Qor01100::status
