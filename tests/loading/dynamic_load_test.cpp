// Loads the built module the way a host does: by file name at run time,
// resolving operations and variables by their plain names (this binary does
// not link the module).
#include <gtest/gtest.h>

#include <string>

#include "driver/operations.h"
#include "platform/library.h"
#include "vendor/operations.h"

namespace {

void* Module() {
  std::string err;
  void* lib = rtl::LoadLibraryByName("Pkg_Qor01100.dll", &err);
  EXPECT_NE(lib, nullptr) << err;
  return lib;
}

TEST(DynamicLoad, OperationsAndVariablesByPlainName) {
  void* lib = Module();
  ASSERT_NE(lib, nullptr);
  auto getValue = reinterpret_cast<decltype(&::GetValue)>(rtl::GetLibrarySymbol(lib, "GetValue"));
  ASSERT_NE(getValue, nullptr);
  EXPECT_DOUBLE_EQ(getValue("000000012345"), 123.45);

  auto stop = reinterpret_cast<decltype(&::StopImpFiscal)>(rtl::GetLibrarySymbol(lib, "StopImpFiscal"));
  ASSERT_NE(stop, nullptr);
  EXPECT_TRUE(stop());

  auto* inRetorno = static_cast<int32_t*>(rtl::GetLibrarySymbol(lib, "inRetorno"));
  auto* boNUtilTaa = static_cast<bool*>(rtl::GetLibrarySymbol(lib, "boNUtilTaa"));
  auto* stRetorno = static_cast<std::string*>(rtl::GetLibrarySymbol(lib, "stRetorno"));
  ASSERT_NE(inRetorno, nullptr);
  ASSERT_NE(boNUtilTaa, nullptr);
  ASSERT_NE(stRetorno, nullptr);
  EXPECT_EQ(*inRetorno, 0);
  EXPECT_TRUE(*boNUtilTaa);
  EXPECT_TRUE(stRetorno->empty());
  // Entry-point variables are exported too, null before the start.
  auto** vende = static_cast<void**>(rtl::GetLibrarySymbol(lib, "Elgin_VendeItem"));
  ASSERT_NE(vende, nullptr);
  EXPECT_EQ(*vende, nullptr);
}

TEST(DynamicLoad, DecoratedNamesAreExportedToo) {
  void* lib = Module();
  ASSERT_NE(lib, nullptr);
  // Qor01100::GetValue(std::string const&) and Qor01100::AnalisaRetorno(int, bool, bool, bool).
  EXPECT_NE(rtl::GetLibrarySymbol(lib, "_ZN8Qor011008GetValueERKNSt7__cxx1112basic_stringIcSt11char_traitsIcESaIcEEE"), nullptr);
  EXPECT_NE(rtl::GetLibrarySymbol(lib, "_ZN8Qor0110014AnalisaRetornoEibbb"), nullptr);
  // Routines without a plain-name export have none.
  EXPECT_EQ(rtl::GetLibrarySymbol(lib, "AnalisaRetorno"), nullptr);
  EXPECT_EQ(rtl::GetLibrarySymbol(lib, "LimpaParametros"), nullptr);
}

}  // namespace
