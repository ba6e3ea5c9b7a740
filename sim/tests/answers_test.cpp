// Every query answers inside the caller's blanks: a table over all the
// entry points that write text, called with buffers from empty to longer
// than their layout, each followed by guard bytes.
#include <functional>

#include "sim/tests/sim_fixture.h"

namespace simtest {
namespace {

struct Query {
  const char* name;
  std::vector<size_t> sizes;  // the layout's width of each text buffer
  std::function<int(std::vector<Buf>&)> call;
};

std::vector<Query> Queries() {
  using B = std::vector<Buf>;
  return {
      {"DataMovimento", {6}, [](B& b) { return Elgin_DataMovimento(b[0].p()); }},
      {"DataHoraImpressora", {6, 6}, [](B& b) { return Elgin_DataHoraImpressora(b[0].p(), b[1].p()); }},
      {"NumeroCaixa", {4}, [](B& b) { return Elgin_NumeroCaixa(b[0].p()); }},
      {"NumeroSerie", {20}, [](B& b) { return Elgin_NumeroSerie(b[0].p()); }},
      {"VerificaTotalizadoresNaoFiscais", {559}, [](B& b) { return Elgin_VerificaTotalizadoresNaoFiscais(b[0].p()); }},
      {"RetornoAliquotas", {79}, [](B& b) { return Elgin_RetornoAliquotas(b[0].p()); }},
      {"VerificaAliquotasIss", {79}, [](B& b) { return Elgin_VerificaAliquotasIss(b[0].p()); }},
      {"NumeroCupom", {6}, [](B& b) { return Elgin_NumeroCupom(b[0].p()); }},
      {"UltimoItemVendido", {4}, [](B& b) { return Elgin_UltimoItemVendido(b[0].p()); }},
      {"DadosUltimaReducao", {1278}, [](B& b) { return Elgin_DadosUltimaReducao(b[0].p()); }},
      {"DadosUltimaReducaoMFD", {1278}, [](B& b) { return Elgin_DadosUltimaReducaoMFD(b[0].p()); }},
      {"Acrescimos", {13}, [](B& b) { return Elgin_Acrescimos(b[0].p()); }},
      {"VerificaFormasPagamento", {174}, [](B& b) { return Elgin_VerificaFormasPagamento(b[0].p()); }},
      {"InicioFimCOOsMFD", {6, 6}, [](B& b) { return Elgin_InicioFimCOOsMFD(b[0].p(), b[1].p()); }},
      {"NumeroCuponsCancelados", {4}, [](B& b) { return Elgin_NumeroCuponsCancelados(b[0].p()); }},
      {"GrandeTotal", {18}, [](B& b) { return Elgin_GrandeTotal(b[0].p()); }},
      {"NumeroReducoes", {4}, [](B& b) { return Elgin_NumeroReducoes(b[0].p()); }},
      {"NumeroOperacoesNaoFiscais", {6}, [](B& b) { return Elgin_NumeroOperacoesNaoFiscais(b[0].p()); }},
      {"MarcaModeloTipoImpressoraMFD", {15, 20, 7},
       [](B& b) { return Elgin_MarcaModeloTipoImpressoraMFD(b[0].p(), b[1].p(), b[2].p()); }},
      {"VendaBruta", {18}, [](B& b) { return Elgin_VendaBruta(b[0].p()); }},
      {"Cancelamentos", {14}, [](B& b) { return Elgin_Cancelamentos(b[0].p()); }},
      {"Descontos", {14}, [](B& b) { return Elgin_Descontos(b[0].p()); }},
      {"VerificaTotalizadoresParciais", {445}, [](B& b) { return Elgin_VerificaTotalizadoresParciais(b[0].p()); }},
      {"VerificaRecebimentoNaoFiscal", {44}, [](B& b) { return Elgin_VerificaRecebimentoNaoFiscal(b[0].p()); }},
      {"VerificaRecebimentoNaoFiscalMFD", {1077},
       [](B& b) { return Elgin_VerificaRecebimentoNaoFiscalMFD(b[0].p()); }},
      {"DataMovimentoUltimaReducaoMFD", {6}, [](B& b) { return Elgin_DataMovimentoUltimaReducaoMFD(b[0].p()); }},
      {"ContadorRelatoriosGerenciaisMFD", {6}, [](B& b) { return Elgin_ContadorRelatoriosGerenciaisMFD(b[0].p()); }},
      {"ContadorComprovantesCreditoMFD", {6}, [](B& b) { return Elgin_ContadorComprovantesCreditoMFD(b[0].p()); }},
      {"ContadorCupomFiscalMFD", {6}, [](B& b) { return Elgin_ContadorCupomFiscalMFD(b[0].p()); }},
      {"RetornoImpressora", {12},
       [](B& b) {
         int code = 0;
         return Elgin_RetornoImpressora(&code, b[0].p());
       }},
      {"LeArquivoRetorno", {5000}, [](B& b) { return Elgin_LeArquivoRetorno(b[0].p()); }},
      {"ExecutaLeitura", {8},
       [](B& b) {
         S cmd("LeMeioPagamento"), par("CodMeioPagamentoProgram=01");
         return Elgin_ExecutaLeitura(cmd, par, b[0].p());
       }},
      {"LeNomeRelatorioGerencial", {17},
       [](B& b) {
         S idx("01");
         return Elgin_LeNomeRelatorioGerencial(idx, b[0].p());
       }},
  };
}

class AnswersTest : public SimTest {
 protected:
  void SetUp() override {
    SimTest::SetUp();
    // Something in every answer: a named totalizer, a reduction, a serial
    // reading, and a coupon left open.
    ASSERT_EQ(Elgin_NomeiaTotalizadorNaoSujeitoIcms(0, S("CONTRA-VALE EMITIDO")), 1);
    ASSERT_EQ(Elgin_RecebimentoNaoFiscal(S("00"), S("1,00"), S("Dinheiro")), 1);
    Sale("3,000", "5,00");
    ASSERT_EQ(Elgin_ReducaoZ(S(""), S("")), 1);
    ASSERT_EQ(Elgin_LeituraXSerial(), 1);
    SetClock("2026-03-06T08:00:00");
    OpenCouponWith({{"00", "1,000", "1,000"}});
  }
};

TEST_F(AnswersTest, NoAnswerGoesPastTheCallersBlanks) {
  for (auto& q : Queries()) {
    SCOPED_TRACE(q.name);
    // The reference answer, in buffers of the layout's width.
    std::vector<Buf> ref;
    for (size_t n : q.sizes) ref.emplace_back(n);
    ASSERT_EQ(q.call(ref), 1);
    for (size_t k = 0; k < ref.size(); ++k) {
      ASSERT_TRUE(ref[k].intact());
      EXPECT_NE(ref[k].trimmed(), "") << "buffer " << k << " answered";
    }
    for (long delta : {-1000000L, -1L, -2L, 0L, 1L, 40L}) {
      std::vector<Buf> b;
      std::vector<size_t> lens;
      for (size_t n : q.sizes) {
        size_t len = delta == -1000000L ? 0 : delta == -2L ? 1 : static_cast<size_t>(static_cast<long>(n) + delta);
        lens.push_back(len);
        b.emplace_back(len);
      }
      ASSERT_EQ(q.call(b), 1) << "length change " << delta;
      for (size_t k = 0; k < b.size(); ++k) {
        EXPECT_TRUE(b[k].intact()) << "buffer " << k << " written past its " << lens[k] << " blanks";
        std::string want = ref[k].str().substr(0, std::min(lens[k], q.sizes[k]));
        want.resize(lens[k], ' ');
        EXPECT_EQ(b[k].str(), want) << "buffer " << k << " of " << lens[k];
      }
    }
  }
}

TEST_F(AnswersTest, NullBuffersAreNoCrash) {
  EXPECT_EQ(Elgin_NumeroCupom(nullptr), 1);
  EXPECT_EQ(Elgin_DadosUltimaReducaoMFD(nullptr), 1);
  EXPECT_EQ(Elgin_VerificaEstadoImpressora(nullptr, nullptr, nullptr), 1);
  EXPECT_EQ(Elgin_EfetuaFormaPagamento(nullptr, nullptr), -1);
  EXPECT_EQ(Elgin_VendeItem(nullptr, nullptr, nullptr, nullptr, nullptr, 0, nullptr, nullptr, nullptr), -2);
}

TEST_F(AnswersTest, LayoutsTheDriverReads) {
  // Tax rates: sixteen 4-digit rates with separators, "0000" where not programmed.
  std::string rates = Ask(Elgin_RetornoAliquotas, 79);
  EXPECT_EQ(rates, "1800,1200,0700,0500,0000,0000,0000,0000,0000,0000,0000,0000,0000,0000,0000,0000");
  EXPECT_EQ(Ask(Elgin_VerificaAliquotasIss, 79).substr(0, 10), "0500,0000,");
  // Non-fiscal totalizers: 19-character names, each followed by a separator; position = index.
  std::string tot = Ask(Elgin_VerificaTotalizadoresNaoFiscais, 179);
  EXPECT_EQ(tot.substr(0, 20), "CONTRA-VALE EMITIDO,");
  EXPECT_EQ(tot.substr(20, 19), std::string(19, ' '));
  // Identification.
  EXPECT_EQ(Ask(Elgin_NumeroCaixa, 4), "001 ");
  EXPECT_EQ(Ask(Elgin_NumeroSerie, 20), "ECFSIM00000000000001");
  EXPECT_EQ(Ask(Elgin_DataMovimento, 6), "060326");
  EXPECT_EQ(Ask(Elgin_UltimoItemVendido, 4), "0001");
  EXPECT_EQ(Ask(Elgin_NumeroReducoes, 4), "0001");
  EXPECT_EQ(Ask(Elgin_NumeroCupom, 6), "000004") << "the open coupon's";
  Buf brand(15), model(20), type(7);
  ASSERT_EQ(Elgin_MarcaModeloTipoImpressoraMFD(brand.p(), model.p(), type.p()), 1);
  EXPECT_EQ(brand.trimmed() + "|" + model.trimmed() + "|" + type.trimmed(), "QOR SIMULADOR|SIM-ECF MFD|ECF-IF");
}

}  // namespace
}  // namespace simtest
