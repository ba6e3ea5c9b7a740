// The two message tables as shipped (driver/datamodule/msgPadrao*.txt):
// their size and key order, and every text that callers print or show
// exactly as written here. A change of a text below changes what the module
// prints or shows; this test is the guard that none drifts by accident.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "hostlib/messages.h"
#include "platform/files.h"
#include "platform/stringlist.h"
#include "platform/text.h"

namespace {

using hostlib::TMessages;

const std::string kTable1 = QOR_SOURCE_DIR "/driver/datamodule/msgPadrao.txt";
const std::string kTable2 = QOR_SOURCE_DIR "/driver/datamodule/msgPadrao2.txt";

std::string Cp(const std::string& utf8) { return rtl::Utf8ToCp1252(utf8); }

std::string KeyOf(const std::string& line) { return line.substr(0, line.find('|')); }
std::string TextOf(const std::string& line) { return line.substr(line.find('|') + 1); }

// The keys of the first table in their order; the printer error texts run
// from Erro001 to Erro083 with gaps.
std::vector<std::string> ExpectedKeys1() {
  std::vector<std::string> keys = {
    "Nome", "Relatorio", "ConfReducao", "CancelaTEF", "Consumidor", "Dinheiro", "Convenio",
    "AliqNaoCad", "ImpErro", "CNPJCPF", "FimPapel", "ErroRelogio", "ErroItem", "Deseja",
    "SyntaxErro", "ComandoErro", "CupomAberto", "AbreCaixa", "ParamErro", "TipoParamErro",
    "MemLotada", "MemRAMErro", "AliqNProg", "AliqLotada", "CancNPermitido", "CancNPermitidoX",
    "CGCIENProg", "ComandoNExec", "ArqConfig_Inv1", "Arq_ECF", "ErroPorta", "Suprimento",
    "Sangria", "VENDA-CONS", "CV-EMITIDO", "CV-EMI", "CV-RECEBIDO", "RELAT-GER", "Compra-Cred",
    "Canc-Cred", "TEF", "CONTRA-VALE", "DataDif", "ErroComando", "DataFiscalAnterior",
    "PoucoPapel", "AliqNaoCad", "RelGerencial", "GerandoRecSang", "RecSangria3", "RecSangria1",
    "Modalidade", "TotalizVendaCons", "Valor_", "Envelope", "Superv", "Operador", "PRECO_SUBSIDIO",
    "VR_COMPLEMENTO", "GerandoRelProd", "RelProdutos", "Codigo", "Nome", "Qtde_", "Valor2",
    "GerandoRelFech", "RelFechamento", "Vendas", "TOTAL_PROD", "CV-EMITIDO", "Suprimento",
    "Sangrias", "Sobra", "Falta", "Imprimindo", "ConfRelProds", "Conf_mesa", "Comanda", "Mesa",
    "Emissao", "Garcom", "Desconto", "Consuma_Min", "Couvert", "Tx_Serv", "Total", "ERRO_IMP",
    "RegVen", "VrUnit", "Tran_N_Efet", "Imp_N_Resp", "ComprDebito", "CDCons", "NmCons", "NmFami",
    "CV-EMITIDO_ITA", "RELAT-GER_Itau", "Conv", "TampAberta", "Tampa_aberta",
  };
  auto range = [&keys](int from, int to) {
    for (int n = from; n <= to; ++n) {
      char buf[16];
      std::snprintf(buf, sizeof buf, "Erro%03d", n);
      keys.push_back(buf);
    }
  };
  range(1, 52);
  range(54, 56);
  range(58, 69);
  range(71, 71);
  range(76, 83);
  const std::vector<std::string> rest = {
    "TOTALIZ", "TOTALIZOUTROS", "ArqConfig_Inv2", "ArqConfig_Inv3", "ArqConfig_Inv4",
    "ArqConfig_Inv", "CDCLIE", "Ope_Imp_Pap", "Tot_Acre", "Tot_Desc", "Tot_Valor",
    "ErroComunicacao", "ErroExecucao", "ParamInvalido", "ErroArqIni", "ImpDeslig", "BancoNCad",
    "ErroAbrirArq", "TransCanc", "TransAprov", "ImpNConcl", "OperNConcl", "Acrescimo",
    "FormPgtoNProg", "TotNFisNProg", "TransEfet", "InfNImpre", "Promocao", "Conta_Mesa", "Garcon",
    "Data", "Data1", "Isento", "Total_Compra", "Troco", "Hora", "Cigarro_Isento", "Caixa", "loja",
    "ComprCredito", "Canc_ComprCredito", "Canc_Deposito", "Nr_Deposito", "VrCupom", "VrSaldo",
    "Parcial", "Total_conta", "Velmara", "Rel_Sangria", "NIncide", "TRIBUTACAO", "TRIBUTADOS",
    "SubTrib", "OPE_N_CV", "OPE_N_CART", "N_POS_DIR", "DCVT32_N_ENC", "N_POS_DCVT32",
    "N_ENC_CLIENTE.CFG", "ProdVend", "Cabecalho", "ERRO_ABRE_CUP", "SENHA", "SEQ", "CONF_MES",
    "PESSOAS", "APROX", "POR_PESS", "TOTAL_CUP", "DOC_SEM_VAL_FIS", "SEN_PED", "ERRO_INTER",
    "VER_ARQ_CHEQUE", "NRFISC_ZERO", "ABRE_CHAMADO", "ECF_INUT_30", "SEM_SUCESS_ABRE_CHAM",
    "CUP_COPR_INV", "FIM_PAPEL", "TAMPA_ABER", "TOT_MEN_SUB", "REDZ_REALIZ", "LEITX_OBRIG",
    "ERRO_COM_ECF", "FIN_LIST_REG", "BAN_N_CAD", "ConfRelFechamento", "BOBIN_ACAB", "Aber_mesa",
    "Fech_mesa", "Fech_comanda", "Sald_Cons", "Valor_Fam", "FAMILIA", "Bemafi_Imp",
    "GER_PDR_N_ATV", "CANC_TRANS", "DOC_NO", "Erro_Disp", "ErroInv_Disp", "Erroporta_Disp", "REDE",
    "REG_DARUMA", "OPE_FORMA_N_PERM", "REDZ_EMIT", "AGUARDE_CUPOM", "Cancelado", "Transf_Mesa",
    "ECFERRADO2", "KALVORA_N_ENC", "CatRio_Gerada", "Motivo", "Observacao", "CompraCredito",
  };
  keys.insert(keys.end(), rest.begin(), rest.end());
  return keys;
}

const std::vector<std::string> kExpectedKeys2 = {
    "Erro_Detectar", "Erro_FechaPorta", "Erro_SWMFD", "Erro_Data", "Erro_Faixa", "Erro_ArqOri",
    "Erro_ArqDes", "Erro_AberLog", "Erro_100", "Erro_Arq_NEnc", "Erro_Arq_Sel", "Erro_Arq_Ori",
    "Erro_Memoria", "Erro_temporario", "Erro_Arq_Sai", "Erro_invalido", "Erro_Instancia",
    "Erro_Mes", "Erro_Insuficiente", "Erro_Gravacao", "Erro_Timeout", "Erro_Off_line",
    "Erro_tampa_imp", "Erro_sem_papel", "Erro_bobina", "Erro_sintaxe", "Erro_Comando_Inv",
    "Erro_Execucao", "Erro_Aplicativo", "GER_COTEPE_OK", "SALDO_FIN", "NRCUPOM", "Data", "NRSERIE",
    "NRDEPOSITO", "INSCMUNICIPAL", "INSCRICAOMUNICIPAL", "Erro_NMovDia", "DOTZ", "DOTZ_EXTRAS",
};

struct Quoted {
  const char* key;
  const char* text;  // UTF-8 here; code page 1252 in the table
};

// Every text of the first table that the module's layouts and dialogs rely
// on word for word.
const Quoted kQuoted1[] = {
    {"Nome", "NOME"},
    {"Relatorio", "Relatorios"},
    {"ConfReducao", "Confirma impressão da redução z?"},
    {"Consumidor", "Consumidor"},
    {"Dinheiro", "Dinheiro"},
    {"Convenio", "Convênio"},
    {"ImpErro", "Impressora fiscal com erro."},
    {"FimPapel", "Impressora fiscal sem papel."},
    {"ErroRelogio", "Erro no relógio da impressora fiscal."},
    {"ErroItem", "Erro ao imprimir o item: "},
    {"Deseja", "Deseja imprimir novamente?"},
    {"SyntaxErro", "Erro de sintaxe no comando enviado para a impressora fiscal."},
    {"ComandoErro", "Comando para a impressora fiscal inexistente."},
    {"CupomAberto", "Cupom aberto."},
    {"AbreCaixa", "Deseja abrir o caixa?"},
    {"ParamErro", "Número inválido de parâmetros do comando da impressora fiscal."},
    {"TipoParamErro", "Tipo incorreto do parâmetro enviado para a impressora fiscal."},
    {"MemLotada", "Memória da impressora fiscal lotada."},
    {"MemRAMErro", "Erro na memória da impressora fiscal."},
    {"AliqNProg", "Alíquota não programada na impressora fiscal."},
    {"AliqLotada", "Capacidade de alíquotas da impressora fiscal lotada."},
    {"CancNPermitido", "Cancelamento não permitido pela impressora fiscal."},
    {"CGCIENProg", "CGC/IE do proprietário não programados na impressora fiscal."},
    {"ComandoNExec", "Comando não executado pela impressora fiscal."},
    {"ErroPorta", "Erro ao abrir porta de comunicação."},
    {"Suprimento", "Suprimento"},
    {"Sangria", "Sangria"},
    {"VENDA-CONS", "VENDA CONSUMIDOR"},
    {"CV-EMITIDO", "CONTRA-VALE EMITIDO"},
    {"Compra-Cred", "Cred Pessoal"},
    {"Canc-Cred", "Canc Credito"},
    {"DataDif", "Data da impressora fiscal difere da data do sistema em mais de 15 minutos."},
    {"ErroComando", "Erro ao enviar comando para a impressora."},
    {"PoucoPapel", "Impressora fiscal com pouco papel."},
    {"RelGerencial", "Rel Gerencial"},
    {"RecSangria3", "RECIBO SAIDA NUMERARIO"},
    {"RecSangria1", "SAIDA DE NUMERARIO - SANGRIA"},
    {"Modalidade", "MODALIDADE"},
    {"Valor_", "VALOR"},
    {"Envelope", "NR.ENV"},
    {"Operador", "Operador"},
    {"PRECO_SUBSIDIO", "Preço subsidiado:"},
    {"VR_COMPLEMENTO", "Valor complemento:"},
    {"RelProdutos", "RELATORIO DE PRODUTOS"},
    {"Codigo", "CODIGO"},
    {"Qtde_", "QTDE"},
    {"Valor2", "VLR.TOT."},
    {"RelFechamento", "RELATORIO DE FECHAMENTO"},
    {"Vendas", "TOTAL VENDAS"},
    {"Sangrias", "TOTAL SANGRIAS"},
    {"Sobra", "SOBRA"},
    {"Falta", "FALTA"},
    {"ConfRelProds", "Confirma impressão do Relatório de Produtos?"},
    {"Comanda", "Comanda"},
    {"Mesa", "Mesa"},
    {"Emissao", "Emissao"},
    {"Desconto", "Desconto"},
    {"Tx_Serv", "Taxa de Servico"},
    {"Total", "Total Geral"},
    {"RegVen", "REGISTRO DE VENDA"},
    {"VrUnit", "VR. UNIT"},
    {"Imp_N_Resp", "Impressora não responde. Imprimir novamente?"},
    {"ComprDebito", "Venda - Debito Consumidor"},
    {"CDCons", "Matricula: "},
    {"NmCons", "Consumidor..: "},
    {"NmFami", "Familia.....: "},
    {"ArqConfig_Inv4", "Arquivo (%s) está inválido. Valor do totalizador geral da impressora fiscal está incorreto."},
    {"CDCLIE", "Cliente: "},
    {"Tot_Acre", "Total de Acréscimos"},
    {"Tot_Desc", "Total de Descontos"},
    {"Tot_Valor", "Total das Vendas"},
    {"ErroComunicacao", "Erro de comunicação."},
    {"ErroExecucao", "Erro de execução na função."},
    {"ParamInvalido", "Parâmetro inválido."},
    {"ErroArqIni", "O arquivo de inicialização da impressora não foi encontrada no diretório de sistema do Windows."},
    {"ImpDeslig", "Impressora desligada ou desconectada."},
    {"BancoNCad", "Banco não cadastrado no arquivo de inicializção da impressora."},
    {"ErroAbrirArq", "Não foi possível abrir arquivo INTPOS.001."},
    {"TransCanc", "Transação cancelada pelo operador."},
    {"TransAprov", "A Transação não foi aprovada."},
    {"ImpNConcl", "Não foi possível terminar a impressão."},
    {"OperNConcl", "Não foi possível terminar a operação."},
    {"Acrescimo", "Acréscimo"},
    {"FormPgtoNProg", "Forma de pagamento não programada."},
    {"TotNFisNProg", "Totalizador não fiscal não programado."},
    {"TransEfet", "Transação já efetuada."},
    {"InfNImpre", "Não há informações para serem impressas."},
    {"Isento", "Isento :"},
    {"ComprCredito", "COMPRA DE CREDITO"},
    {"Canc_ComprCredito", "CANCELAMENTO DE COMPRA DE CREDITO"},
    {"Canc_Deposito", "Cancelamento do depósito"},
    {"Nr_Deposito", "Nr.Deposito: "},
    {"VrCupom", "Valor ......: "},
    {"VrSaldo", "Saldo Final : "},
    {"NIncide", "Não Incide"},
    {"TRIBUTACAO", "Tributacao"},
    {"TRIBUTADOS", "Tributados"},
    {"SubTrib", "Subst. Trib."},
    {"N_POS_DIR", "Não foi possível criar o diretório:"},
    {"ProdVend", "Produtos da Venda"},
    {"Cabecalho", "CODIGO     NOME          QTDE   VR.UNIT. VR.TOT."},
    {"SENHA", "SENHA : "},
    {"SEN_PED", "SENHA PEDIDO:  "},
    {"ConfRelFechamento", "Confirma impressão dos relatórios de fechamento?"},
    {"Aber_mesa", "Abertura de Mesa"},
    {"Sald_Cons", "Saldo Final : "},
    {"REDZ_EMIT", "A Redução Z já foi emitida, o caixa não pode ser aberto. O sistema será fechado."},
    {"Motivo", "Motivo: "},
    {"CompraCredito", "Venda - Crédito Pessoal"},
};

const Quoted kQuoted2[] = {
    {"SALDO_FIN", "Saldo Final : %s"},
    {"Erro_NMovDia", "Houve erro na geração ou não há movimento nas seguintes datas:"},
    {"DOTZ", "Nesta compra voce ganhou %s DOTZ"},
    {"DOTZ_EXTRAS", "Nesta compra voce ganhou %s DOTZ extras"},
};

class MessageTables : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    t1_ = new TMessages("msgPadrao");
    t2_ = new TMessages("msgPadrao2");
    t1_->LoadFromFile(kTable1);
    t2_->LoadFromFile(kTable2);
  }
  static void TearDownTestSuite() {
    delete t1_;
    delete t2_;
    t1_ = t2_ = nullptr;
  }
  static TMessages* t1_;
  static TMessages* t2_;
};
TMessages* MessageTables::t1_ = nullptr;
TMessages* MessageTables::t2_ = nullptr;

TEST_F(MessageTables, FilesHoldOneEntryPerLineAndNothingElse) {
  // Every physical line of the files is an entry: no comments, no blank lines.
  rtl::StringList f1, f2;
  f1.LoadFromFile(kTable1);
  f2.LoadFromFile(kTable2);
  EXPECT_EQ(f1.Count(), 290);
  EXPECT_EQ(f2.Count(), 40);
  ASSERT_EQ(t1_->Lines().size(), 290u);
  ASSERT_EQ(t2_->Lines().size(), 40u);
}

TEST_F(MessageTables, KeysOfTheFirstTableAreInOrder) {
  std::vector<std::string> expected = ExpectedKeys1();
  ASSERT_EQ(expected.size(), 290u);
  ASSERT_EQ(t1_->Lines().size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(KeyOf(t1_->Lines()[i]), expected[i]) << "line " << i + 1;
  }
  EXPECT_EQ(KeyOf(t1_->Lines().front()), "Nome");
  EXPECT_EQ(KeyOf(t1_->Lines().back()), "CompraCredito");
}

TEST_F(MessageTables, KeysOfTheSecondTableAreInOrder) {
  ASSERT_EQ(t2_->Lines().size(), kExpectedKeys2.size());
  for (size_t i = 0; i < kExpectedKeys2.size(); ++i) {
    EXPECT_EQ(KeyOf(t2_->Lines()[i]), kExpectedKeys2[i]) << "line " << i + 1;
  }
  EXPECT_EQ(KeyOf(t2_->Lines().front()), "Erro_Detectar");
  EXPECT_EQ(KeyOf(t2_->Lines().back()), "DOTZ_EXTRAS");
}

TEST_F(MessageTables, DuplicatedKeysSitWhereExpected) {
  struct Dup {
    const char* key;
    size_t first, second;  // 1-based line numbers
    const char* firstText;
    const char* secondText;
  };
  const Dup dups[] = {
      {"Nome", 1, 63, "NOME", "NOME"},
      {"AliqNaoCad", 8, 47, "Alíquota não cadastrada na impressora fiscal.", "AliqNaoCad"},
      {"Suprimento", 32, 71, "Suprimento", "Suprimento"},
      {"CV-EMITIDO", 35, 70, "CONTRA-VALE EMITIDO", "CONTRA-VALE EMITIDO"},
  };
  const auto& lines = t1_->Lines();
  for (const Dup& d : dups) {
    SCOPED_TRACE(d.key);
    EXPECT_EQ(lines[d.first - 1], std::string(d.key) + "|" + Cp(d.firstText));
    EXPECT_EQ(lines[d.second - 1], std::string(d.key) + "|" + Cp(d.secondText));
    // The first occurrence is the one a lookup finds.
    EXPECT_EQ(t1_->Msg(d.key), Cp(d.firstText));
  }
  // No other key of either table occurs twice.
  for (const TMessages* t : {t1_, t2_}) {
    std::vector<std::string> seen;
    for (const std::string& line : t->Lines()) {
      std::string k = KeyOf(line);
      bool dup = std::find(seen.begin(), seen.end(), k) != seen.end();
      bool allowed = k == "Nome" || k == "AliqNaoCad" || k == "Suprimento" || k == "CV-EMITIDO";
      EXPECT_FALSE(dup && !allowed) << t->Name << ": " << k;
      seen.push_back(k);
    }
  }
}

TEST_F(MessageTables, QuotedTextsOfTheFirstTable) {
  for (const Quoted& q : kQuoted1) {
    EXPECT_TRUE(t1_->HasKey(q.key)) << q.key;
    EXPECT_EQ(t1_->Msg(q.key), Cp(q.text)) << q.key;
  }
}

TEST_F(MessageTables, QuotedTextsOfTheSecondTable) {
  for (const Quoted& q : kQuoted2) {
    EXPECT_TRUE(t2_->HasKey(q.key)) << q.key;
    EXPECT_EQ(t2_->Msg(q.key), Cp(q.text)) << q.key;
  }
}

TEST_F(MessageTables, PrinterErrorTextsAreNumberedAfterTheirKeys) {
  int count = 0;
  for (const std::string& line : t1_->Lines()) {
    std::string key = KeyOf(line);
    if (key.size() != 7 || key.rfind("Erro", 0) != 0) continue;
    ++count;
    // "Erro012" -> "Error 012: ..."
    EXPECT_EQ(TextOf(line).substr(0, 11), "Error " + key.substr(4) + ": ") << key;
    EXPECT_GT(TextOf(line).size(), 11u) << key;
  }
  EXPECT_EQ(count, 76);
}

TEST_F(MessageTables, MakerLineIsTheSoftwaresOwn) {
  EXPECT_EQ(t1_->Msg("Velmara"), Cp("Qor - Sistemas de Automação Comercial"));
}

TEST_F(MessageTables, EveryEntryHasAText) {
  for (const TMessages* t : {t1_, t2_}) {
    for (const std::string& line : t->Lines()) {
      EXPECT_FALSE(rtl::Trim(TextOf(line)).empty()) << t->Name << ": " << line;
    }
  }
}

TEST_F(MessageTables, OddLookupsOfTheModule) {
  struct Case {
    const TMessages* table;
    const char* key;
    const char* expected;
  };
  const Case cases[] = {
      // Other capitalisation: the case-insensitive match.
      {t1_, "Datadif", "Data da impressora fiscal difere da data do sistema em mais de 15 minutos."},
      {t1_, "RELATORIO", "Relatorios"},
      // Held by neither table: the key itself.
      {t1_, "relFechamentoGeral", "relFechamentoGeral"},
      {t2_, "relFechamentoGeral", "relFechamentoGeral"},
      // Held only by the second table: the first answers the key itself.
      {t1_, "Erro_Gravacao", "Erro_Gravacao"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.table->Msg(c.key), Cp(c.expected)) << c.table->Name << " " << c.key;
  }
  EXPECT_FALSE(t1_->HasKey("Erro_Gravacao"));
  EXPECT_TRUE(t2_->HasKey("Erro_Gravacao"));
  EXPECT_NE(t2_->Msg("Erro_Gravacao"), "Erro_Gravacao");
}

}  // namespace
