// Programming entry points, generic readings, barcodes, summary files and
// the printer's behaviour when its memory cannot be written.
#include "sim/tests/sim_fixture.h"

namespace simtest {
namespace {

using nlohmann::json;

class ProgrammingTest : public SimTest {};

TEST_F(ProgrammingTest, PaymentMethodsFillTheTwentySlots) {
  for (int i = 2; i <= 20; ++i) ASSERT_EQ(Elgin_ProgramaFormaPagamentoMFD(S("Forma " + std::to_string(i)), S("0")), 1);
  EXPECT_EQ(Elgin_ProgramaFormaPagamentoMFD(S("Forma 21"), S("0")), -1) << "no free slot";
  EXPECT_EQ(Query().st2, 1);
  ASSERT_EQ(Elgin_ProgramaFormaPagamentoMFD(S("FORMA 7"), S("1")), 1) << "an existing name: only its mark";
  json pays = State()["programming"]["payment_methods"];
  EXPECT_EQ(pays.size(), 20u);
  EXPECT_EQ(pays[6]["name"], "Forma 7");
  EXPECT_EQ(pays[6]["linkable"], true);
  Buf b(256);
  EXPECT_EQ(Elgin_ExecutaLeitura(S("LeMeioPagamento"), S("CodMeioPagamentoProgram=14"), b.p()), 1);
  EXPECT_EQ(b.trimmed(), "Forma 14");
  EXPECT_EQ(Elgin_ProgramaFormaPagamentoMFD(S("Nome de forma longo demais"), S("1")), -2);
  EXPECT_EQ(Elgin_ProgramaFormaPagamentoMFD(S("Vale"), S("2")), -2);
}

TEST_F(ProgrammingTest, GenericReadingsAndReportNames) {
  ASSERT_EQ(Elgin_NomeiaTotalizadorNaoSujeitoIcms(4, S("Recarga")), 1);
  ASSERT_EQ(Elgin_NomeiaRelatorioGerencialMFD(S("02"), S("FECHAMENTO")), 1);
  EXPECT_EQ(Elgin_NomeiaRelatorioGerencialMFD(S("03"), S("fechamento")), -1) << "names are unique";
  EXPECT_EQ(Elgin_NomeiaRelatorioGerencialMFD(S("21"), S("X")), -2);
  struct {
    const char* cmd;
    const char* param;
    int ret;
    const char* answer;
  } cases[] = {
      {"LeTotalizadorNaoFiscal", "CodTotalizadorNaoFiscal=04", 1, "Recarga"},
      {"LeTotalizadorNaoFiscal", "CodTotalizadorNaoFiscal=05", 0, "NomeErro"},
      {"LeRelatorioGerencial", "CodRelatorioGerencial=02", 1, "FECHAMENTO"},
      {"LeRelatorioGerencial", "CodRelatorioGerencial=03", 0, "NomeErro"},
      {"LeMeioPagamento", "CodMeioPagamentoProgram=01", 1, "Dinheiro"},
      {"LeMeioPagamento", "CodMeioPagamentoProgram=21", -2, ""},
      {"LeMeioPagamento", "Outro=01", -2, ""},
  };
  for (auto& c : cases) {
    Buf b(20);
    EXPECT_EQ(Elgin_ExecutaLeitura(S(c.cmd), S(c.param), b.p()), c.ret) << c.param;
    EXPECT_EQ(b.trimmed(), c.answer) << c.param;
  }
  Buf name(17);
  ASSERT_EQ(Elgin_LeNomeRelatorioGerencial(S("02"), name.p()), 1);
  EXPECT_EQ(name.str(), "FECHAMENTO       ");
}

TEST_F(ProgrammingTest, BarcodesInsideReportsAndVouchers) {
  struct {
    int (*fn)(char*);
    const char* code;
    int ret;
  } cases[] = {
      {Elgin_CodigoBarrasEAN13MFD, "7891234567895", 1},  {Elgin_CodigoBarrasEAN13MFD, "7891234567890", -2},
      {Elgin_CodigoBarrasEAN13MFD, "789123456789", 1},   {Elgin_CodigoBarrasEAN8MFD, "96385074", 1},
      {Elgin_CodigoBarrasUPCAMFD, "036000291452", 1},    {Elgin_CodigoBarrasUPCAMFD, "03600029145", 1},
      {Elgin_CodigoBarrasUPCEMFD, "0123456", 1},         {Elgin_CodigoBarrasITFMFD, "12345", -2},
      {Elgin_CodigoBarrasITFMFD, "123456", 1},           {Elgin_CodigoBarrasCODE39MFD, "ABC-123", 1},
      {Elgin_CodigoBarrasCODE39MFD, "abc", -2},          {Elgin_CodigoBarrasCODE93MFD, "abc 123", 1},
      {Elgin_CodigoBarrasCODE128MFD, "Pedido #42", 1},   {Elgin_CodigoBarrasCODABARMFD, "A1234B", 1},
      {Elgin_CodigoBarrasMSIMFD, "1234", 1},             {Elgin_CodigoBarrasMSIMFD, "12A4", -2},
      {Elgin_CodigoBarrasPLESSEYMFD, "1F2E", 1},         {Elgin_CodigoBarrasISBNMFD, "085131041X", 1},
      {Elgin_CodigoBarrasCODE128MFD, "", -2},
  };
  EXPECT_EQ(Elgin_CodigoBarrasEAN13MFD(S("7891234567895")), -1) << "nothing open to print it in";
  ASSERT_EQ(Elgin_AbreRelatorioGerencial(), 1);
  for (auto& c : cases) EXPECT_EQ(c.fn(S(c.code)), c.ret) << c.code;
  ASSERT_EQ(Elgin_FechaRelatorioGerencial(), 1);
  EXPECT_NE(Tape().find("7891234567895"), std::string::npos);
}

TEST_F(ProgrammingTest, SummaryMapAndSummaryRecords) {
  EXPECT_EQ(Elgin_MapaResumo(), -1) << "no reduction yet";
  EXPECT_EQ(Elgin_DadosSintegra(S("010326"), S("310326")), -28);
  Sale("10,000", "10,00");
  ASSERT_EQ(Elgin_ReducaoZ(S(""), S("")), 1);
  ASSERT_EQ(Elgin_MapaResumo(), 1) << "a reading, allowed on a closed day";
  EXPECT_NE(Tape().find("MAPA RESUMO"), std::string::npos);
  ASSERT_EQ(Elgin_DadosSintegra(S("010326"), S("310326")), 1);
  std::string text = ReadAll(dir / "ecf" / "SINTEGRA.TXT");
  std::istringstream in(text);
  std::string line;
  int records = 0;
  while (std::getline(in, line)) {
    ASSERT_EQ(line.back(), '\r');
    EXPECT_EQ(line.size(), 127u) << line;
    ++records;
  }
  EXPECT_EQ(records, 1 + 3 + 5) << "60M, three ICMS rates, F I N CANC DESC";
  EXPECT_EQ(text.substr(0, 11), "60M20260305");
}

TEST_F(ProgrammingTest, MemoryImageForTheReader) {
  Sale("10,000", "10,00");
  std::string file = (dir / "image.json").string();
  EXPECT_EQ(Elgin_LeMemoriasBinario(S(file), S("OUTRO"), true), -2);
  ASSERT_EQ(Elgin_LeMemoriasBinario(S(file), S(""), false), 1);
  json j = json::parse(ReadAll(file));
  EXPECT_EQ(j["documents"].size(), 0u) << "fiscal memory only";
  ASSERT_EQ(Elgin_LeMemoriasBinario(S(file), S("ECFSIM00000000000001"), true), 1);
  j = json::parse(ReadAll(file));
  ASSERT_EQ(j["documents"].size(), 1u);
  EXPECT_EQ(j["documents"][0]["kind"], "CF");
  EXPECT_EQ(j["documents"][0]["data"]["items"][0]["totalizer"], "01T1800");
}

TEST_F(ProgrammingTest, AnUnwritableMemoryIsAnErrorNotACrash) {
  std::string bad = (dir / "file").string();
  std::ofstream(bad) << "x";
  EXPECT_EQ(ecfsim_set_state_dir((bad + "/ecf").c_str()), -1);
  EXPECT_EQ(Elgin_AbrePortaSerial(), -8);
  ASSERT_EQ(ecfsim_set_state_dir((dir / "ecf").string().c_str()), 0);
  ASSERT_EQ(Elgin_AbrePortaSerial(), 1);
}

TEST_F(ProgrammingTest, OneArgumentCouponOpening) {
  ASSERT_EQ(Elgin_AbreCupom(S("11.222.333/0001-81")), 1);
  EXPECT_EQ(State()["document"]["consumer_id"], "11222333000181");
  ASSERT_EQ(Elgin_CancelaCupom(), 1);
  EXPECT_EQ(Elgin_AbreCupom(S("11.222.333/0001-80")), -2);
}

}  // namespace
}  // namespace simtest
