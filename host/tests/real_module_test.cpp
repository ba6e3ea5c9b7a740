// The session runner against the real module loaded by name, as qorhost
// does: the shared state it reads and writes is the module's own.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "driver/datamodule/dtmElgin01100.h"
#include "host/session.h"
#include "platform/library.h"

namespace {

using qorhost::Json;

void* Module() {
  static void* lib = rtl::LoadLibraryByName("Pkg_Qor01100.dll");
  return lib;
}

TEST(RealModule, StateIsReadAndWrittenInTheModuleAndTheDataModuleIsCreatedForStSerieAtu) {
  ASSERT_NE(Module(), nullptr);
  auto symbol = [](const std::string& n) { return rtl::GetLibrarySymbol(Module(), n); };
  auto* dm = static_cast<TdtmElgin01100**>(symbol("dtmElgin01100"));
  ASSERT_NE(dm, nullptr);
  ASSERT_EQ(*dm, nullptr) << "nothing in this test program creates the data module before";

  rtl::ConfigurableEnv env;
  std::ostringstream out, err;
  qorhost::SessionRunner runner(symbol, qorhost::SimControl{}, env, {}, out, err);
  ASSERT_EQ(runner.Run(Json::parse(R"({"steps": [
      {"set": {"stSerieAtu": "SÉRIE 1", "dsDiretorio": "/tmp/saída/", "inRetornoErro": 3, "boNUtilTaa": false}}]})")),
            0)
      << err.str();

  ASSERT_NE(*dm, nullptr);
  EXPECT_EQ((*dm)->stSerieAtu, "S\xC9RIE 1");
  EXPECT_EQ(*static_cast<std::string*>(symbol("dsDiretorio")), "/tmp/sa\xED" "da/");
  EXPECT_EQ(*static_cast<int32_t*>(symbol("inRetornoErro")), 3);
  EXPECT_FALSE(*static_cast<bool*>(symbol("boNUtilTaa")));
  // Every shared-state variable is exported under the name qorhost reads.
  const Json line = Json::parse(out.str().substr(0, out.str().find('\n')));
  EXPECT_EQ(line["state"].size(), 19u) << line.dump();

  // A second set reuses the same data module.
  TdtmElgin01100* first = *dm;
  ASSERT_EQ(runner.Run(Json::parse(R"({"steps": [{"set": {"stSerieAtu": "2"}}]})")), 0) << err.str();
  EXPECT_EQ(*dm, first);
  EXPECT_EQ(first->stSerieAtu, "2");
  *static_cast<bool*>(symbol("boNUtilTaa")) = true;
}

// The module's plain-name operations, as a host calls them.
const char* const kOperations[] = {
    "GetValue", "ImpFisDebug", "StopImpFiscal", "StartImpFiscal", "AbrePorta", "FechaPorta", "ImpressoraOk",
    "Carrega_Dados_Impressora", "CarregaAliquota", "CarregaTotalizador", "Nomeia_TotParcial",
    "Retorno_Aliquotas_Imp", "VerificaTotalizador", "BuscaTotGer", "Atu_TotGeral", "CarregaRecebimento",
    "Config_Forma_Pagamento", "Carrega_Rel_Gerencial", "CarregaRelatorioGer", "AbreCupom", "VendaItem",
    "Acrescimo_Imp", "Nr_Cupom", "FechaCupom", "Formata_rodape", "CodigoBarra", "Cancela_ItGenerico",
    "Cancela_UltimoItem", "Cancela_Cupom_Imp", "Cupom_Troca", "Abertura_Mesa", "ImprimeMesasAbertas",
    "Suprimento", "Sangria", "Cupom_NFiscNVinc", "Totaliza_NFiscal", "Leitura_Totais_Imp", "GeraReciboSangria",
    "Relatorio_Gerencial_Imp", "FechRelatGerenc", "Relatorio_Generico", "Conferencia_Formatada",
    "Abre_Comp_NFiscalVinc", "Usa_CompNFis", "ImprimeTef", "Estado_Gaveta_Imp", "Abre_Gaveta_Imp",
    "Aciona_Guilhotina", "Estado_Imp", "Comp_DebitoCons", "Cabecalho", "ImpSaldo", "SaldoNegativo",
    "ImprimeProdBloq", "Extrato", "Compr_CredPessoal", "Saldo_CredPessoal", "Cancela_Cred_Pessoal",
    "Imp_CompVenCred", "Relatorio_Produto", "RegistroVenda", "imprimeProdutosTransf", "imprimeTipoRece",
    "Leitura_X_Imp", "Reducao_Z_Imp", "Memoria_Fiscal_Imp", "DataMoviFiscal", "VerificaData", "Data_Imp",
    "Estado_HorVerao", "Muda_Horario", "VerificaSerialImp", "Versao_Software_Basico",
    "DataHoraGravacaoUsuarioSWBasicoMFAdicional", "NumeroOperacoesNaoFiscais", "Codigo_Nacional_ECF",
    "Modelo_Impressora", "NumeroReducoes", "VendaBruta", "Cancelamentos", "Descontos",
    "ContadorRelatoriosGerenciaisMFD", "ContadorComprovantesCreditoMFD", "ContadorCupomFiscalMFD",
    "DadosUltimaRedZ", "ExportRedZ", "EmiteLeituraMemoriaFiscal", "EmiteLeituraMemoriaFiscalSerial",
    "GravaDocumentosNaoFiscais", "geraEspelhoMfd", "Gera_ArquivoMFD", "geraEad", "ImprimeDadosPaf",
    "GeraCatGenerica"};

TEST(RealModule, EveryOperationTheModuleExportsHasAnAdapter) {
  ASSERT_NE(Module(), nullptr);
  for (const char* name : kOperations) {
    if (!rtl::GetLibrarySymbol(Module(), name)) continue;  // not built yet
    EXPECT_NE(qorhost::FindAdapter(name), nullptr) << name << " is exported but qorhost has no adapter for it";
  }
  // And no adapter names something that is not one of the module's operations.
  for (const auto& [name, adapter] : qorhost::Adapters()) {
    if (name.rfind("Qht", 0) == 0) continue;  // the fake operations of this test program
    EXPECT_NE(std::find(std::begin(kOperations), std::end(kOperations), name), std::end(kOperations)) << name;
  }
}

}  // namespace
