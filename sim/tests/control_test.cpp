// The control interface: injected failures, forced answers and status,
// raised exceptions, the clock, programming, and the call journal.
#include <stdexcept>

#include "sim/tests/sim_fixture.h"

namespace simtest {
namespace {

using nlohmann::json;

class ControlTest : public SimTest {};

TEST_F(ControlTest, FailReturnsTheCodeWithoutActingForNCalls) {
  ASSERT_EQ(ecfsim_fail("Elgin_AbreCupomMFD", -5, 2), 0);
  EXPECT_EQ(Elgin_AbreCupomMFD(S(""), S(""), S("")), -5);
  EXPECT_EQ(Elgin_AbreCupomMFD(S(""), S(""), S("")), -5);
  EXPECT_TRUE(State()["document"].is_null());
  EXPECT_EQ(Elgin_AbreCupomMFD(S(""), S(""), S("")), 1) << "the third call acts";
  EXPECT_EQ(ecfsim_fail("Elgin_NaoExiste", -1, 1), -2);

  ASSERT_EQ(ecfsim_fail("Elgin_NumeroCupom", 0, -1), 0);  // until cleared
  for (int i = 0; i < 5; ++i) EXPECT_EQ(Elgin_NumeroCupom(S("      ")), 0);
  ASSERT_EQ(ecfsim_fail("Elgin_NumeroCupom", 0, 0), 0);
  EXPECT_EQ(Elgin_NumeroCupom(S("      ")), 1);
}

TEST_F(ControlTest, AnswerWritesFromTheStartCutAtTheBuffer) {
  ASSERT_EQ(ecfsim_answer("Elgin_DataHoraImpressora", 1, R"(["311226", "235959X"])", 1), 0);
  Buf d(6), t(6);
  EXPECT_EQ(Elgin_DataHoraImpressora(d.p(), t.p()), 1);
  EXPECT_EQ(d.str(), "311226");
  EXPECT_EQ(t.str(), "235959") << "cut at the buffer";
  EXPECT_TRUE(t.intact());

  ASSERT_EQ(ecfsim_answer("Elgin_NumeroSerie", -1, R"(["ABÇ"])", 1), 0);
  Buf s(10);
  EXPECT_EQ(Elgin_NumeroSerie(s.p()), -1);
  EXPECT_EQ(s.str(), "AB\xC7       ") << "1252 in the buffer, the rest keeps its blanks";

  ASSERT_EQ(ecfsim_answer("Elgin_VerificaEstadoGaveta", 1, "[1]", 1), 0);
  int open = 0;
  EXPECT_EQ(Elgin_VerificaEstadoGaveta(&open), 1);
  EXPECT_EQ(open, 1);
  EXPECT_EQ(ecfsim_answer("Elgin_NumeroSerie", 1, "{bad json", 1), -2);
  EXPECT_EQ(ecfsim_answer("Elgin_NumeroSerie", 1, "[1.5]", 1), -2);
}

TEST_F(ControlTest, ForcedStatusForTheNextQueries) {
  ASSERT_EQ(ecfsim_force_status(21, 128, 0, 2), 0);
  EXPECT_EQ(Query().ack, 21);
  EXPECT_EQ(Query().st1, 128);
  Status st = Query();
  EXPECT_EQ(st.ack, 6);
  EXPECT_EQ(st.st1, 0);
  EXPECT_EQ(ecfsim_force_status(6, 300, 0, 1), -2);
}

TEST_F(ControlTest, RaiseThrowsIntoTheCaller) {
  ASSERT_EQ(ecfsim_raise("Elgin_VendeItem", 1), 0);
  OpenCouponWith({});
  EXPECT_THROW(Elgin_VendeItem(S("1"), S("X"), S("00"), S("F"), S("1,000"), 2, S("1,00"), S("$"), S("0000")),
               std::runtime_error);
  EXPECT_EQ(Elgin_VendeItem(S("1"), S("X"), S("00"), S("F"), S("1,000"), 2, S("1,00"), S("$"), S("0000")), 1);
  auto j = Journal();
  ASSERT_GE(j.size(), 2u);
  EXPECT_EQ(j[j.size() - 2]["injected"], "raise");
  EXPECT_TRUE(j[j.size() - 2].contains("raised"));
}

TEST_F(ControlTest, ResetClearsInjectionsAndMemory) {
  Sale("1,000", "1,00");
  ASSERT_EQ(ecfsim_fail("Elgin_NumeroCupom", -1, -1), 0);
  ASSERT_EQ(ecfsim_reset(), 0);
  ASSERT_EQ(Elgin_AbrePortaSerial(), 1) << "the port is closed after a reset";
  EXPECT_EQ(Ask(Elgin_NumeroCupom, 6), "000000");
  EXPECT_EQ(State()["fiscal_memory_records"], 0);
  EXPECT_EQ(Tape(), "");
}

TEST_F(ControlTest, ClockOffsetAndFrozenClock) {
  ASSERT_EQ(ecfsim_set_clock_offset(-90), 0);
  EXPECT_EQ(Ask(Elgin_DataMovimento, 6), "000000");
  Buf d(6), t(6);
  ASSERT_EQ(Elgin_DataHoraImpressora(d.p(), t.p()), 1);
  EXPECT_EQ(d.str() + t.str(), "050326095830");
  EXPECT_EQ(ecfsim_set_clock("2026-02-30T10:00:00"), -2);
  EXPECT_EQ(ecfsim_set_clock("amanha"), -2);
  json s = State();
  EXPECT_EQ(s["clock"]["computer"], "2026-03-05T10:00:00");
  EXPECT_EQ(s["clock"]["printer"], "2026-03-05T09:58:30");
}

TEST_F(ControlTest, ProgrammingOfRatesMethodsAndOwner) {
  json p = {{"rates", {1800, {{"rate", 250}, {"iss", true}}, 400}},
            {"payment_methods", {{{"slot", 5}, {"name", "Ticket"}, {"linkable", true}}}},
            {"nonfiscal_totalizers", {{{"index", 3}, {"name", "Recarga"}}}},
            {"owner", {{"name", "PADARIA ÁGUA BOA"}}}};
  ASSERT_EQ(ecfsim_program(p.dump().c_str()), 0);
  EXPECT_EQ(Ask(Elgin_RetornoAliquotas, 79).substr(0, 20), "1800,0250,0400,0000,");
  EXPECT_EQ(Ask(Elgin_VerificaAliquotasIss, 79).substr(0, 10), "0250,0000,");
  json s = State();
  EXPECT_EQ(s["programming"]["payment_methods"][1]["name"], "Ticket");
  EXPECT_EQ(s["programming"]["nonfiscal_totalizers"][0]["index"], "03");
  Sale("1,000", "1,00");
  EXPECT_NE(Tape().find("PADARIA ÁGUA BOA"), std::string::npos) << "the tape is UTF-8";
  EXPECT_EQ(ecfsim_program(R"({"rates": [1700]})"), -1) << "not after the day's first document";
  EXPECT_EQ(ecfsim_program(R"({"colour": 1})"), -2);
  EXPECT_EQ(ecfsim_program(R"({"owner": {"cnpj": "11.111.111/1111-11"}})"), -2);
  EXPECT_EQ(ecfsim_program("not json"), -2);
}

TEST_F(ControlTest, OwnerNotProgrammedRefusesDocuments) {
  ASSERT_EQ(ecfsim_program(R"({"owner": {"cnpj": ""}})"), 0);
  EXPECT_EQ(Query().st2, 2);
  EXPECT_EQ(Elgin_AbreCupomMFD(S(""), S(""), S("")), -1);
}

TEST_F(ControlTest, JournalRecordsEveryCallAsGiven) {
  Buf num(6);
  ASSERT_EQ(Elgin_NumeroCupom(num.p()), 1);
  OpenCouponWith({});
  // 1252 text with trailing blanks, an integer argument.
  ASSERT_EQ(Elgin_VendeItem(S("7"), S("P\xC3O DE A\xC7\xDA" "CAR  "), S("00"), S("F"), S("1,000"), 3, S("2,500"),
                            S("$"), S("0000")),
            1);
  int ack = 0, st1 = 0, st2 = 0;
  ASSERT_EQ(Elgin_VerificaEstadoImpressora(&ack, &st1, &st2), 1);
  Buf d(6), t(6);
  ASSERT_EQ(Elgin_DataHoraImpressora(d.p(), t.p()), 1);
  auto j = Journal();
  ASSERT_GE(j.size(), 6u);
  // Opening the port in SetUp is the first line.
  EXPECT_EQ(j[0]["fn"], "Elgin_AbrePortaSerial");
  EXPECT_EQ(j[0]["args"], json::array());
  EXPECT_EQ(j[0]["out"], json::array());
  EXPECT_EQ(j[1]["fn"], "Elgin_NumeroCupom");
  EXPECT_EQ(j[1]["args"], json::array({"      "}));
  EXPECT_EQ(j[1]["out"], json::array({"000000"}));
  EXPECT_EQ(j[1]["ret"], 1);
  const json& item = j[j.size() - 3];
  EXPECT_EQ(item["fn"], "Elgin_VendeItem");
  EXPECT_EQ(item["args"], json::parse(R"(["7","PÃO DE AÇÚCAR  ","00","F","1,000",3,"2,500","$","0000"])"));
  EXPECT_EQ(item["out"], json::array()) << "VendeItem writes nothing";
  const json& status = j[j.size() - 2];
  EXPECT_EQ(status["args"], json::parse("[0,0,0]")) << "integer outputs as given";
  EXPECT_EQ(status["out"], json::parse("[6,2,0]"));
  EXPECT_EQ(j.back()["out"], json::parse(R"(["050326","100000"])"));
  for (auto& line : j) EXPECT_FALSE(line.contains("injected")) << line.dump();

  ASSERT_EQ(ecfsim_set_journal(""), 0);
  Elgin_NumeroCupom(num.p());
  EXPECT_EQ(Journal().size(), j.size()) << "journal stopped";
}

}  // namespace
}  // namespace simtest
