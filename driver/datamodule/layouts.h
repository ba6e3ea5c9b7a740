// Field layouts shared by several of the data module's datasets.
#pragma once
#include "platform/dataset.h"

namespace Qor01100::layouts {

struct FieldSpec {
  const char* name;
  rtl::FieldType type;
  int size;
};

using rtl::FieldType;
constexpr FieldType S = FieldType::String;
constexpr FieldType F = FieldType::Float;
constexpr FieldType D = FieldType::DateTime;

// Payment types (33 fields).
inline constexpr FieldSpec kPaymentType[] = {
    {"CDFILIAL", S, 4},      {"CDTIPORECE", S, 3},   {"NMTIPORECE", S, 40},   {"VRTAXAADMI", F, 0},
    {"VRMINCARTAO", F, 0},   {"CDTIPOTROCO", S, 3},  {"NRORDTROCO", S, 3},    {"IDEMIVALE", S, 1},
    {"IDVALE", S, 1},        {"IDDEBCLIE", S, 1},    {"CDFPIMPFIS", S, 10},   {"IDTIPORECE", S, 1},
    {"CDTPINDICE", S, 1},    {"IDPERVALOR", S, 1},   {"CDINDICE", S, 4},      {"NRCONFTELA", S, 5},
    {"IDTPBUTTON", S, 1},    {"NRBUTTON", S, 5},     {"NRPGCONFTELA", S, 2},  {"IDTPBUTONAUX", S, 1},
    {"NRBUTTONAUX", S, 5},   {"NRPGCONFTAUX", S, 2}, {"CDIDENTBUTON", S, 10}, {"DSBUTTON", S, 40},
    {"NRCOLORTEXT", F, 0},   {"NRCOLORBACK", F, 0},  {"DSMESSAGEBUT", S, 300}, {"DSIMAGEMBUT", S, 200},
    {"DSIMPFISCAL", S, 50},  {"CDADMINCART", S, 20}, {"CDBANCARTCR", S, 10},  {"IDMOSTRARECE", S, 1},
    {"IDDESABTEF", S, 1},
};

// Z reductions (27 fields).
inline constexpr FieldSpec kReductionZ[] = {
    {"NRECFREDZ", S, 4},     {"DTREDUCAOZ", D, 0},    {"NRREINIREDZ", S, 10},  {"NRREDREDZ", S, 10},
    {"NRLEITREDZ", S, 10},   {"NRGERCNFREDZ", S, 10}, {"NRCANCFREDZ", S, 10},  {"NRPRIMCFREDZ", S, 10},
    {"NRULTCFREDZ", S, 10},  {"VRGTREDZ", F, 0},      {"VRVENBRUREDZ", F, 0},  {"VRISSREDZ", F, 0},
    {"VRTOTCANREDZ", F, 0},  {"VRTOTDESREDZ", F, 0},  {"VRVENLIQREDZ", F, 0},  {"VRTOTACRREDZ", F, 0},
    {"VRSTRIBREDZ", F, 0},   {"VRISENCREDZ", F, 0},   {"VRNINCIDREDZ", F, 0},  {"QTTEMLIGREDZ", S, 6},
    {"QTTEMPCFREDZ", S, 6},  {"QTMEMRESREDZ", F, 0},  {"IDORIGEMREDZ", S, 3},  {"DSMODMARCAECF", S, 30},
    {"NRUSUARIOMFD", S, 10}, {"CDMFADICIONAL", S, 5}, {"DTGRAVSBECF", D, 0},
};

inline constexpr FieldSpec kReductionPayment[] = {
    {"NRECFREDZ", S, 4}, {"DTREDUCAOZ", D, 0}, {"CDTIPORECE", S, 3}, {"VRFORMPGTORZ", F, 0}, {"CDTPRECEORIG", S, 3},
};

inline constexpr FieldSpec kReductionTax[] = {
    {"NRECFREDZ", S, 4},    {"DTREDUCAOZ", D, 0},   {"CDALIQIMPRZ", S, 10}, {"VRALIQIMPRZ", F, 0},
    {"VRBCALCIMPRZ", F, 0}, {"VRIMPOSTORZ", F, 0},  {"IDTPIMPREDZ", S, 1},
};

inline constexpr FieldSpec kReductionNonFiscal[] = {
    {"NRECFREDZ", S, 4},     {"DTREDUCAOZ", D, 0},    {"NRTOTNFISCRZ", S, 10},
    {"DSTOTNFISCRZ", S, 50}, {"NRCONTOTNFIS", S, 10}, {"VRACUTOTNFIS", F, 0},
};

}  // namespace Qor01100::layouts
