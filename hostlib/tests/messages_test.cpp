// TMessages: parsing of table texts and files, and the lookup rule.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "hostlib/messages.h"
#include "platform/errors.h"
#include "platform/text.h"
#include "tests/support/portable.h"

namespace {

using hostlib::TMessages;

std::string Cp(const std::string& utf8) { return rtl::Utf8ToCp1252(utf8); }

// A small table with the shapes that matter: a key held twice with different
// texts, keys that differ from a lookup only by case, accented text.
class Lookup : public ::testing::Test {
 protected:
  void SetUp() override {
    t_.SetText(
        "Nome|NOME\n"
        "AliqNaoCad|Alíquota não cadastrada na impressora fiscal.\n"
        "DataDif|Data difere.\n"
        "Relatorio|Relatorios\n"
        "RELATORIOS|Outro\n"
        "AliqNaoCad|AliqNaoCad\n"
        "Nome|NOME\n"
        "ação|Ação\n");
  }
  TMessages t_{"teste"};
};

TEST_F(Lookup, Rule) {
  struct Case {
    const char* key;
    const char* expected;
  } const cases[] = {
      {"Nome", "NOME"},
      {"AliqNaoCad", "Alíquota não cadastrada na impressora fiscal."},  // first of two wins
      {"Datadif", "Data difere."},                                      // case-insensitive
      {"DATADIF", "Data difere."},
      {"RELATORIO", "Relatorios"},        // not confused with RELATORIOS
      {"RELATORIOS", "Outro"},            // exact beats an earlier case-insensitive match
      {"Relatorios", "Outro"},
      {"relFechamentoGeral", "relFechamentoGeral"},  // missing: the key itself
      {"", ""},
      {"Nom", "Nom"},                     // no prefix matching
      {"AÇÃO", "Ação"},                   // accented letters of 1252 fold too
  };
  for (const auto& c : cases) {
    EXPECT_EQ(t_.Msg(Cp(c.key)), Cp(c.expected)) << c.key;
  }
}

TEST_F(Lookup, ExactMatchIsPreferredOverAnEarlierCaseInsensitiveOne) {
  TMessages t;
  t.SetLines({"chave|primeira", "Chave|segunda"});
  EXPECT_EQ(t.Msg("Chave"), "segunda");
  EXPECT_EQ(t.Msg("CHAVE"), "primeira");
}

TEST_F(Lookup, HasKeyIsExact) {
  EXPECT_TRUE(t_.HasKey("DataDif"));
  EXPECT_FALSE(t_.HasKey("Datadif"));
  EXPECT_FALSE(t_.HasKey(""));
  EXPECT_FALSE(t_.HasKey("relFechamentoGeral"));
}

TEST(MessagesText, LinesKeepTheirOrderAndConvertTo1252) {
  TMessages t;
  t.SetText("B|Relatório\nA|x\n");
  ASSERT_EQ(t.Lines().size(), 2u);
  EXPECT_EQ(t.Lines()[0], Cp("B|Relatório"));
  EXPECT_EQ(t.Lines()[1], "A|x");
  EXPECT_EQ(t.Msg("B"), "Relat\xF3rio");
}

TEST(MessagesText, TextRules) {
  TMessages t;
  t.SetText(
      "\xEF\xBB\xBF"        // byte-order mark
      "Primeira|um\r\n"     // CR LF
      "\n"
      "   \n"
      "# comentário\n"
      "Senha|SENHA : \n"    // trailing blanks are part of the text
      "Barra|a|b\n"         // the text may hold bars
      "Vazio|\n"            // an empty text
      "Ultima|fim");        // no final line feed
  std::vector<std::string> expected = {"Primeira|um", "Senha|SENHA : ", "Barra|a|b", "Vazio|", "Ultima|fim"};
  EXPECT_EQ(t.Lines(), expected);
  EXPECT_EQ(t.Msg("Primeira"), "um");
  EXPECT_EQ(t.Msg("Senha"), "SENHA : ");
  EXPECT_EQ(t.Msg("Barra"), "a|b");
  EXPECT_EQ(t.Msg("Vazio"), "");
}

TEST(MessagesText, MalformedLineIsRefusedNamingTableAndLine) {
  for (const char* text : {"Boa|ok\nsem separador\n", "Boa|ok\n|sem chave\n"}) {
    TMessages t("msgTeste");
    t.SetText("Antiga|mantida\n");
    try {
      t.SetText(text);
      ADD_FAILURE() << "no error for: " << text;
    } catch (const rtl::EConvertError& e) {
      std::string msg = e.what();
      EXPECT_NE(msg.find("msgTeste"), std::string::npos) << msg;
      EXPECT_NE(msg.find("linha 2"), std::string::npos) << msg;
    }
    // A refused text leaves the table as it was.
    EXPECT_EQ(t.Msg("Antiga"), "mantida");
  }
}

TEST(MessagesText, SetTextReplacesTheWholeTable) {
  TMessages t;
  t.SetText("A|1\nB|2\n");
  t.SetText("C|3\n");
  EXPECT_EQ(t.Lines().size(), 1u);
  EXPECT_EQ(t.Msg("A"), "A");
}

class MessagesFile : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = qortest::MakeTempDir("qor_msg");
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::filesystem::path dir_;
};

TEST_F(MessagesFile, LoadsWithTheSameRulesAsSetText) {
  std::string path = (dir_ / "tabela.txt").string();
  std::ofstream(path, std::ios::binary) << "# cabeçalho\r\nChave|Ação concluída.\r\n\r\nOutra|x\r\n";
  TMessages t;
  t.LoadFromFile(path);
  ASSERT_EQ(t.Lines().size(), 2u);
  EXPECT_EQ(t.Msg("Chave"), Cp("Ação concluída."));
}

TEST_F(MessagesFile, MissingFileRaisesOpenError) {
  TMessages t;
  t.SetText("A|1\n");
  EXPECT_THROW(t.LoadFromFile((dir_ / "nao_existe.txt").string()), rtl::EFOpenError);
  EXPECT_EQ(t.Msg("A"), "1");
}

}  // namespace
