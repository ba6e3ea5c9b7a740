// The module's export table: every operation a host may call by plain name
// is named by one of the operation lists, built or planned.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>

namespace {

// The plain-name operations of the export table, by subsystem.
const char* const kExportTable[] = {
    // frame and session
    "GetValue", "ImpFisDebug", "StopImpFiscal", "StartImpFiscal", "AbrePorta", "FechaPorta", "ImpressoraOk",
    "Carrega_Dados_Impressora",
    // programming
    "CarregaAliquota", "CarregaTotalizador", "Nomeia_TotParcial", "Retorno_Aliquotas_Imp", "VerificaTotalizador",
    "BuscaTotGer", "Atu_TotGeral", "CarregaRecebimento", "Config_Forma_Pagamento", "Carrega_Rel_Gerencial",
    "CarregaRelatorioGer",
    // fiscal coupon
    "AbreCupom", "VendaItem", "Acrescimo_Imp", "Nr_Cupom", "FechaCupom", "Formata_rodape", "CodigoBarra",
    "Cancela_ItGenerico", "Cancela_UltimoItem", "Cancela_Cupom_Imp", "Cupom_Troca", "Abertura_Mesa",
    "ImprimeMesasAbertas",
    // non-fiscal documents and cash movements
    "Suprimento", "Sangria", "Cupom_NFiscNVinc", "Totaliza_NFiscal", "Leitura_Totais_Imp", "GeraReciboSangria",
    "Relatorio_Gerencial_Imp", "FechRelatGerenc", "Relatorio_Generico", "Conferencia_Formatada",
    "Abre_Comp_NFiscalVinc", "Usa_CompNFis", "ImprimeTef", "Estado_Gaveta_Imp", "Abre_Gaveta_Imp",
    "Aciona_Guilhotina", "Estado_Imp",
    // customer account receipts
    "Comp_DebitoCons", "Cabecalho", "ImpSaldo", "SaldoNegativo", "ImprimeProdBloq", "Extrato", "Compr_CredPessoal",
    "Saldo_CredPessoal", "Cancela_Cred_Pessoal", "Imp_CompVenCred",
    // sales reports
    "Relatorio_Produto", "RegistroVenda", "imprimeProdutosTransf", "imprimeTipoRece",
    // readings, clock and queries
    "Leitura_X_Imp", "Reducao_Z_Imp", "Memoria_Fiscal_Imp", "DataMoviFiscal", "VerificaData", "Data_Imp",
    "Estado_HorVerao", "Muda_Horario", "VerificaSerialImp", "Versao_Software_Basico",
    "DataHoraGravacaoUsuarioSWBasicoMFAdicional", "NumeroOperacoesNaoFiscais", "Codigo_Nacional_ECF",
    "Modelo_Impressora", "NumeroReducoes", "VendaBruta", "Cancelamentos", "Descontos",
    "ContadorRelatoriosGerenciaisMFD", "ContadorComprovantesCreditoMFD", "ContadorCupomFiscalMFD",
    // Z-reduction records and fiscal files
    "DadosUltimaRedZ", "ExportRedZ", "EmiteLeituraMemoriaFiscal", "EmiteLeituraMemoriaFiscalSerial",
    "GravaDocumentosNaoFiscais", "geraEspelhoMfd", "Gera_ArquivoMFD", "geraEad", "ImprimeDadosPaf",
    "GeraCatGenerica"};

const char* const kListed[] = {
#define QOR_OP(ret, name, params, args, kinds) #name,
#define QOR_PLANNED(ret, name, params, args, kinds) #name,
#define QOR_DECORATED(ret, name, params)
#include "module/all_operations.def"
#undef QOR_OP
#undef QOR_DECORATED
#undef QOR_PLANNED
};

TEST(ExportTable, EveryOperationIsListedOnceAndNothingElseIs) {
  const std::set<std::string> table(std::begin(kExportTable), std::end(kExportTable));
  std::set<std::string> listed;
  for (const char* name : kListed) {
    EXPECT_TRUE(listed.insert(name).second) << name << " is listed twice";
    EXPECT_TRUE(table.count(name)) << name << " is listed but is not an operation of the export table";
  }
  for (const std::string& name : table) EXPECT_TRUE(listed.count(name)) << name << " is missing from the lists";
}

}  // namespace
