// A whole fiscal day: programming, cash movements, sales, linked vouchers,
// non-fiscal receipts, reports, X reading, Z reduction, and the memory kept
// across a restart.
#include <sqlite3.h>

#include "sim/tests/sim_fixture.h"

namespace simtest {
namespace {

using nlohmann::json;

class DayTest : public SimTest {
 protected:
  // Names the totalizers the way the driver does on a fresh printer: its
  // 179-character reading shows nine empty entries, so it names from 9 on.
  void NameTotalizers() {
    Buf list(179);
    ASSERT_EQ(Elgin_VerificaTotalizadoresNaoFiscais(list.p()), 1);
    ASSERT_TRUE(list.intact());
    for (int i = 0; i < 9; ++i) EXPECT_EQ(list.at(i * 20 + 1, 19), std::string(19, ' '));
    const char* names[] = {"Suprimento",   "Sangria",    "CONTRA-VALE EMITIDO", "Cred Pessoal",
                           "Relatorios",   "VENDA CONSUMIDOR", "Canc Credito"};
    for (int i = 0; i < 7; ++i) ASSERT_EQ(Elgin_NomeiaTotalizadorNaoSujeitoIcms(9 + i, S(names[i])), 1);
    // Naming again with the same name changes nothing.
    ASSERT_EQ(Elgin_NomeiaTotalizadorNaoSujeitoIcms(9, S("Suprimento")), 1);
    EXPECT_EQ(Elgin_NomeiaTotalizadorNaoSujeitoIcms(20, S("sangria")), -1) << "a name once only";
    EXPECT_EQ(Elgin_NomeiaTotalizadorNaoSujeitoIcms(28, S("Outro")), -2) << "28 and 29 are fixed";
    EXPECT_EQ(Elgin_NomeiaTotalizadorNaoSujeitoIcms(3, S("NOME LONGO DEMAIS P/ 19")), -2);
  }

  void ProgramPayments() {
    Buf name(256);
    EXPECT_EQ(Elgin_ExecutaLeitura(S("LeMeioPagamento"), S("CodMeioPagamentoProgram=14"), name.p()), 0);
    EXPECT_EQ(name.at(1, 8), "NomeErro") << "slot 14 free";
    ASSERT_EQ(Elgin_ProgramaFormaPagamentoMFD(S("Cartao Credito"), S("1")), 1);
    ASSERT_EQ(Elgin_ProgramaFormaPagamentoMFD(S("Rel Gerencial"), S("1")), 1);
    Buf name2(256);
    EXPECT_EQ(Elgin_ExecutaLeitura(S("LeMeioPagamento"), S("CodMeioPagamentoProgram=2"), name2.p()), 1);
    EXPECT_EQ(name2.trimmed(), "Cartao Credito");
  }
};

TEST_F(DayTest, FullDayFromOpeningToReductionAndNextDay) {
  NameTotalizers();
  ProgramPayments();

  ASSERT_EQ(Elgin_Suprimento(S("150,00"), S("Dinheiro")), 1);  // COO 1

  // Sale paid partly by card, with its linked voucher.
  OpenCouponWith({{"00", "2,000", "10,000"}, {"03", "1,000", "30,000"}});  // COO 2
  ASSERT_EQ(Elgin_IniciaFechamentoCupom(S("A"), S("$"), S("0,00")), 1);
  ASSERT_EQ(Elgin_EfetuaFormaPagamento(S("Cartao Credito"), S("20,00")), 1);
  ASSERT_EQ(Elgin_EfetuaFormaPagamento(S("Dinheiro"), S("50,00")), 1);  // 20,00 of change
  ASSERT_EQ(Elgin_TerminaFechamentoCupom(S("")), 1);
  Buf coo(6);
  ASSERT_EQ(Elgin_NumeroCupom(coo.p()), 1);
  EXPECT_EQ(coo.str(), "000002");
  EXPECT_EQ(Elgin_AbreComprovanteNaoFiscalVinculado(S("Dinheiro"), S(""), coo.p()), -1) << "cash is not linkable";
  EXPECT_EQ(Elgin_AbreComprovanteNaoFiscalVinculado(S("Cartao Credito"), S("00000000002001"), coo.p()), -1)
      << "more than the payment";
  ASSERT_EQ(Elgin_AbreComprovanteNaoFiscalVinculado(S("Cartao Credito"), S("00000000002000"), coo.p()), 1);  // COO 3
  EXPECT_EQ(Elgin_RelatorioGerencial(S("x")), -1) << "a voucher is open";
  ASSERT_EQ(Elgin_UsaComprovanteNaoFiscalVinculado(S("VIA DO CLIENTE\nAUT 123456\n")), 1);
  ASSERT_EQ(Elgin_FechaRelatorioGerencial(), 1) << "closes the voucher too";
  EXPECT_EQ(Elgin_AbreComprovanteNaoFiscalVinculado(S("Cartao Credito"), S(""), coo.p()), -1) << "fully linked";

  // A sale cancelled after it closed.
  Sale("7,000", "7,00");  // COO 4
  ASSERT_EQ(Elgin_CancelaCupom(), 1);  // COO 5

  // Change voucher as a non-fiscal receipt, then a withdrawal.
  ASSERT_EQ(Elgin_RecebimentoNaoFiscal(S("11"), S("5,00"), S("Dinheiro")), 1);  // COO 6
  EXPECT_EQ(Elgin_RecebimentoNaoFiscal(S("02"), S("5,00"), S("Dinheiro")), -25);
  EXPECT_EQ(Elgin_RecebimentoNaoFiscal(S("11"), S("5,00"), S("Cheque")), -24);
  ASSERT_EQ(Elgin_Sangria(S("50,00")), 1);  // COO 7

  // Table bill: a one-cent receipt and a voucher linked to it.
  ASSERT_EQ(Elgin_RecebimentoNaoFiscal(S("13"), S("00000000000001"), S("Rel Gerencial")), 1);  // COO 8
  Buf coo2(6);
  ASSERT_EQ(Elgin_NumeroCupom(coo2.p()), 1);
  ASSERT_EQ(Elgin_AbreComprovanteNaoFiscalVinculado(S("Rel Gerencial"), S("00000000000001"), coo2.p()), 1);  // 9
  ASSERT_EQ(Elgin_UsaComprovanteNaoFiscalVinculado(S("Mesa 10\n")), 1);
  ASSERT_EQ(Elgin_FechaComprovanteNaoFiscalVinculado(), 1);

  // Management report, opened by its first text.
  ASSERT_EQ(Elgin_RelatorioGerencial(S("")), 1);  // COO 10
  ASSERT_EQ(Elgin_RelatorioGerencial(S("FECHAMENTO DE CAIXA\n")), 1);
  ASSERT_EQ(Elgin_FechaRelatorioGerencial(), 1);
  ASSERT_EQ(Elgin_LeituraX(), 1);  // COO 11

  // The driver's readings before the reduction.
  std::string parc = Ask(Elgin_VerificaTotalizadoresParciais, 445);
  EXPECT_EQ(parc.substr(0, 14), "00000000002000") << "18%: 2 x 10,00";
  EXPECT_EQ(parc.substr(42, 14), "00000000003000") << "position 4 (ISS 5%)";
  EXPECT_EQ(parc.substr(225, 14), "00000000000000");
  std::string nf = Ask(Elgin_VerificaRecebimentoNaoFiscal, 2200);
  // Entries: counter (4), value (20), description (19), separator.
  EXPECT_EQ(nf.substr(0, 4), "0000");
  EXPECT_EQ(nf.substr(24, 19), "Suprimento         ");
  constexpr int kThird = 2 * 44;  // the third entry
  EXPECT_EQ(nf.substr(kThird, 4), "0001");
  EXPECT_EQ(nf.substr(kThird + 4, 20), "00000000000000000500");
  EXPECT_EQ(nf.substr(kThird + 24, 19), "CONTRA-VALE EMITIDO");
  EXPECT_EQ(nf.substr(7 * 44 + 24, 19), std::string(19, ' ')) << "the list ends";
  std::string mfd = Ask(Elgin_VerificaRecebimentoNaoFiscalMFD, 1077);
  EXPECT_EQ(mfd.substr(971, 14), "00000000005000") << "withdrawals";
  EXPECT_EQ(mfd.substr(1005, 14), "00000000015000") << "cash supply";
  std::string pays = Ask(Elgin_VerificaFormasPagamento, 3016);
  EXPECT_EQ(pays.substr(0, 16), "Dinheiro        ");
  // cash: supply 150 + sale 30 (50 less the change) + 7 cancelled again + receipt 5
  EXPECT_EQ(pays.substr(16, 20), "00000000000000018500");
  EXPECT_EQ(pays.substr(58, 16), "Cartao Credito  ");
  EXPECT_EQ(pays.substr(58 + 16, 20), "00000000000000002000");
  EXPECT_EQ(pays.substr(116, 16), "Rel Gerencial   ");
  EXPECT_EQ(pays.substr(174, 16), std::string(16, ' '));
  EXPECT_EQ(Ask(Elgin_VendaBruta, 18), "000000000000005700");
  EXPECT_EQ(Ask(Elgin_Cancelamentos, 14), "00000000000700");
  EXPECT_EQ(Ask(Elgin_Descontos, 14), "00000000000000");
  EXPECT_EQ(Ask(Elgin_GrandeTotal, 18), "000000000000005700");
  EXPECT_EQ(Ask(Elgin_NumeroCuponsCancelados, 4), "0001");
  EXPECT_EQ(Ask(Elgin_ContadorCupomFiscalMFD, 6), "000002");
  EXPECT_EQ(Ask(Elgin_ContadorRelatoriosGerenciaisMFD, 6), "000001");
  EXPECT_EQ(Ask(Elgin_ContadorComprovantesCreditoMFD, 6), "000002");
  EXPECT_EQ(Ask(Elgin_DataMovimento, 6), "050326");
  Buf first(6), last(6);
  ASSERT_EQ(Elgin_InicioFimCOOsMFD(first.p(), last.p()), 1);
  EXPECT_EQ(first.str() + "-" + last.str(), "000001-000011");

  // Z reduction at the end of the day.
  SetClock("2026-03-05T22:30:15");
  Buf date(6), time(6);
  ASSERT_EQ(Elgin_DataHoraImpressora(date.p(), time.p()), 1);
  EXPECT_EQ(date.str() + time.str(), "050326223015");
  ASSERT_EQ(Elgin_ReducaoZ(S("050326"), time.p()), 1);  // COO 12
  int ind = 0;
  ASSERT_EQ(Elgin_LeIndicadores(&ind), 1);
  EXPECT_EQ(ind, 14368) << "day closed";
  EXPECT_EQ(Ask(Elgin_DataMovimento, 6), "000000");
  EXPECT_EQ(Ask(Elgin_DataMovimentoUltimaReducaoMFD, 6), "050326");
  EXPECT_EQ(Ask(Elgin_VendaBruta, 18), std::string(18, '0')) << "day totals start again";
  EXPECT_EQ(Elgin_AbreCupomMFD(S(""), S(""), S("")), -1) << "no sale on a closed day";
  EXPECT_EQ(Query().st2, 1);
  EXPECT_EQ(Elgin_ReducaoZ(S(""), S("")), -1) << "one reduction per day";

  // The last reduction's record, as both of the driver's readers see it.
  for (size_t len : {1278u, 1279u}) {
    Buf z(len);
    ASSERT_EQ(Elgin_DadosUltimaReducaoMFD(z.p()), 1);
    ASSERT_TRUE(z.intact());
    EXPECT_EQ(z.at(4, 4), "0001") << "CRO";
    EXPECT_EQ(z.at(9, 4), "0001") << "CRZ";
    EXPECT_EQ(z.at(14, 6), "000012") << "COO";
    EXPECT_EQ(z.at(54, 4), "0001") << "cancelled coupons";
    EXPECT_EQ(z.at(316, 18), "000000000000005700") << "grand total";
    EXPECT_EQ(z.at(335, 14), "00000000002000") << "rate position 1";
    EXPECT_EQ(z.at(335 + 3 * 14, 14), "00000000003000") << "rate position 4";
    EXPECT_EQ(z.at(560, 14), std::string(14, '0')) << "exemption";
    EXPECT_EQ(z.at(650, 14), std::string(14, '0')) << "discounts";
    EXPECT_EQ(z.at(710, 14), "00000000000700") << "cancellations";
    EXPECT_EQ(z.str().substr(1278), std::string(len - 1278, ' '));
  }

  // The next day opens normally.
  SetClock("2026-03-06T08:00:00");
  ASSERT_EQ(Elgin_LeIndicadores(&ind), 1);
  EXPECT_NE(ind, 14368);
  Sale("1,000", "1,00");
  EXPECT_EQ(Ask(Elgin_DataMovimento, 6), "060326");

  std::string tape = Tape();
  for (const char* doc : {"SUPRIMENTO", "COMPROVANTE CREDITO OU DEBITO", "CUPOM FISCAL CANCELADO", "SANGRIA",
                          "RELATORIO GERENCIAL", "LEITURA X", "REDUCAO Z", "AUT 123456", "Mesa 10"})
    EXPECT_NE(tape.find(doc), std::string::npos) << doc;
}

TEST_F(DayTest, FiscalMemorySurvivesReopeningTheStateFolder) {
  Sale("12,340", "20,00");
  ASSERT_EQ(Elgin_ReducaoZ(S(""), S("")), 1);
  SetClock("2026-03-06T09:00:00");
  OpenCouponWith({{"01", "1,000", "3,000"}});

  std::string other = (dir / "other").string();
  ASSERT_EQ(ecfsim_set_state_dir(other.c_str()), 0);
  ASSERT_EQ(Elgin_AbrePortaSerial(), 1);
  EXPECT_EQ(Ask(Elgin_NumeroReducoes, 4), "0000") << "another printer";
  ASSERT_EQ(ecfsim_set_state_dir((dir / "ecf").string().c_str()), 0);
  ASSERT_EQ(Elgin_AbrePortaSerial(), 1);

  EXPECT_EQ(Ask(Elgin_NumeroReducoes, 4), "0001");
  EXPECT_EQ(Ask(Elgin_GrandeTotal, 18), "000000000000001534");
  json s = State();
  ASSERT_FALSE(s["document"].is_null()) << "the open coupon is still open";
  EXPECT_EQ(s["document"]["items"].size(), 1u);
  EXPECT_EQ(s["fiscal_memory_records"], 1);
  Buf z(1278);
  ASSERT_EQ(Elgin_DadosUltimaReducaoMFD(z.p()), 1);
  EXPECT_EQ(z.at(335, 14), "00000000001234");
  // The coupon goes on where it stopped.
  ASSERT_EQ(Elgin_IniciaFechamentoCupom(S("D"), S("$"), S("0")), 1);
  ASSERT_EQ(Elgin_EfetuaFormaPagamento(S("Dinheiro"), S("3,00")), 1);
  ASSERT_EQ(Elgin_TerminaFechamentoCupom(S("")), 1);
  EXPECT_EQ(Ask(Elgin_ContadorCupomFiscalMFD, 6), "000002");
}

// In a process of its own, on the folder args[0]: a coupon with two items,
// then the process ends without a clean shutdown, the coupon left open.
QORTEST_CHILD_ROLE(SellsTwoItemsAndDies) {
  if (!SimTest::OpenInChild(args[0]) || Elgin_AbrePortaSerial() != 1) return 2;
  char none[] = "";
  char code[] = "1", desc[] = "PAO", rate[] = "00", f[] = "F", qty[] = "1,000", price[] = "2,500", d[] = "$",
       z[] = "0000";
  if (Elgin_AbreCupomMFD(none, none, none) != 1) return 3;
  if (Elgin_VendeItem(code, desc, rate, f, qty, 3, price, d, z) != 1) return 4;
  if (Elgin_VendeItem(code, desc, rate, f, qty, 3, price, d, z) != 1) return 5;
  rtl::KillProcessNow();
}

TEST_F(DayTest, ProcessKilledInTheMiddleOfASaleLosesNothingItCompleted) {
  std::string ecf = (dir / "ecf").string();
  ASSERT_EQ(ecfsim_set_state_dir((dir / "parked").string().c_str()), 0);  // this process lets go of the memory
  ASSERT_EQ(qortest::RunChildRole("SellsTwoItemsAndDies", {ecf}), qortest::kKilledStatus);

  ASSERT_EQ(ecfsim_set_state_dir(ecf.c_str()), 0);
  ASSERT_EQ(Elgin_AbrePortaSerial(), 1);
  int flags = 0;
  ASSERT_EQ(Elgin_FlagsFiscais(&flags), 1);
  EXPECT_EQ(flags, 33) << "a coupon left open by an interrupted sale";
  json s = State();
  EXPECT_EQ(s["document"]["items"].size(), 2u);
  EXPECT_DOUBLE_EQ(s["totals"]["gross"].get<double>(), 5.00);
  ASSERT_EQ(Elgin_CancelaCupom(), 1);
  EXPECT_DOUBLE_EQ(State()["totals"]["net"].get<double>(), 0.0);
}

TEST_F(DayTest, ChangesMadeByAnotherProcessAreSeenAtTheNextCall) {
  Sale("1,000", "1,00");
  EXPECT_EQ(Ask(Elgin_NumeroCupom, 6), "000001");
  // Another connection to the same memory (as another process would have).
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open((dir / "ecf" / "ecfsim.db").string().c_str(), &db), SQLITE_OK);
  sqlite3_busy_timeout(db, 5000);
  ASSERT_EQ(sqlite3_exec(db, "UPDATE state SET data = json_set(data, '$.counters.coo', 500)", nullptr, nullptr, nullptr),
            SQLITE_OK);
  sqlite3_close(db);
  EXPECT_EQ(Ask(Elgin_NumeroCupom, 6), "000500");
  Sale("1,000", "1,00");
  EXPECT_EQ(Ask(Elgin_NumeroCupom, 6), "000501");
}

TEST_F(DayTest, ZPendingAfterMidnightBlocksSalesUntilTheReduction) {
  Sale("1,000", "1,00");
  SetClock("2026-03-06T00:05:00");
  int flags = 0;
  ASSERT_EQ(Elgin_FlagsFiscais(&flags), 1);
  EXPECT_EQ(flags & 16, 16) << "reduction pending";
  EXPECT_EQ(Elgin_AbreCupomMFD(S(""), S(""), S("")), -1);
  EXPECT_EQ(Elgin_Suprimento(S("1,00"), S("Dinheiro")), -1);
  ASSERT_EQ(Elgin_LeituraX(), 1) << "readings are allowed";
  ASSERT_EQ(Elgin_ReducaoZ(S(""), S("")), 1);
  EXPECT_EQ(Ask(Elgin_DataMovimentoUltimaReducaoMFD, 6), "050326") << "the reduction closes the old day";
  Sale("1,000", "1,00");
}

TEST_F(DayTest, ClockSetBackIsAClockError) {
  Sale("1,000", "1,00");
  SetClock("2026-03-05T09:00:00");
  EXPECT_EQ(Query().st1 & 32, 32);
  EXPECT_EQ(Elgin_AbreCupomMFD(S(""), S(""), S("")), -1);
  SetClock("2026-03-05T10:00:01");
  EXPECT_EQ(Query().st1 & 32, 0);
}

TEST_F(DayTest, FiscalMemoryReadingsPrintedAndToFile) {
  Sale("1,000", "1,00");
  ASSERT_EQ(Elgin_ReducaoZ(S(""), S("")), 1);
  SetClock("2026-03-06T09:00:00");
  Sale("2,000", "2,00");
  ASSERT_EQ(Elgin_ReducaoZ(S(""), S("")), 1);
  ASSERT_EQ(Elgin_LeituraMemoriaFiscalData(S("010326"), S("31/03/2026"), S("C")), 1);
  std::string tape = Tape();
  EXPECT_NE(tape.find("LEITURA DA MEMORIA FISCAL"), std::string::npos);
  EXPECT_NE(tape.find("CRZ:0002"), std::string::npos);
  ASSERT_EQ(Elgin_LeituraMemoriaFiscalReducao(S("0002"), S("0002"), S("S")), 1);
  EXPECT_EQ(Elgin_LeituraMemoriaFiscalReducao(S("0003"), S("0002"), S("S")), -2) << "start after end";
  EXPECT_EQ(Elgin_LeituraMemoriaFiscalData(S("010326"), S("310326"), S("X")), -2) << "reading type";

  // Serial readings go to IMPRESSAO.txt in the folder "Path" of ELGIN.INI
  // (here: none, so the state folder).
  ASSERT_EQ(Elgin_LeituraMemoriaFiscalSerialReducao(S("1"), S("2"), S("C")), 1);
  std::string file = ReadAll(dir / "ecf" / "IMPRESSAO.txt");
  EXPECT_NE(file.find("0001 a 0002"), std::string::npos) << file;
  EXPECT_NE(file.find("\r\n"), std::string::npos) << "the vendor's files end lines with CR LF";
  Buf back(4000);
  ASSERT_EQ(Elgin_LeArquivoRetorno(back.p()), 1);
  EXPECT_TRUE(back.intact());
  EXPECT_EQ(back.str().substr(0, 48), file.substr(0, 48));
}

}  // namespace
}  // namespace simtest
