// Client datasets: appends, filtered walks, Locate, index ordering, data
// packets and XML files, at 1k and 100k rows.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/dataset.h"
#include "platform/datetime.h"

namespace {

using rtl::ClientDataSet;
using rtl::FieldType;

// A movement-table shape: a few short codes, a name, an amount, a date-time.
void Define(ClientDataSet& ds) {
  ds.AddFieldDef("CDFILIAL", FieldType::String, 4);
  ds.AddFieldDef("CDCAIXA", FieldType::String, 3);
  ds.AddFieldDef("NRSERIEECF", FieldType::String, 20);
  ds.AddFieldDef("NMTIPORECE", FieldType::String, 40);
  ds.AddFieldDef("IDTIPOMOVIVE", FieldType::String, 1);
  ds.AddFieldDef("NRORDTROCO", FieldType::Integer);
  ds.AddFieldDef("VRMOVIVEND", FieldType::Float);
  ds.AddFieldDef("DTHRINCMOV", FieldType::DateTime);
  ds.AddIndexDef("idxNRORDTROCO", "NRORDTROCO;DTHRINCMOV");
}

// Pseudo-random but repeatable keys.
int Key(int i) { return static_cast<int>((static_cast<unsigned>(i) * 2654435761u) % 1000003u); }

void Fill(ClientDataSet& ds, int n) {
  auto& fil = ds.FieldByName("CDFILIAL");
  auto& cx = ds.FieldByName("CDCAIXA");
  auto& serie = ds.FieldByName("NRSERIEECF");
  auto& nm = ds.FieldByName("NMTIPORECE");
  auto& tipo = ds.FieldByName("IDTIPOMOVIVE");
  auto& ord = ds.FieldByName("NRORDTROCO");
  auto& vr = ds.FieldByName("VRMOVIVEND");
  auto& dt = ds.FieldByName("DTHRINCMOV");
  const double base = rtl::EncodeDate(2024, 3, 1);
  for (int i = 0; i < n; ++i) {
    ds.Append();
    fil.SetAsString(i % 4 == 0 ? "0001" : "0002");
    cx.SetAsString(i % 3 == 0 ? "01" : "02");
    serie.SetAsString("BE0123456789");
    nm.SetAsString(i % 2 ? "CARTAO DE CREDITO & DEBITO" : "DINHEIRO");
    tipo.SetAsString(i % 5 == 0 ? "T" : "E");
    ord.SetAsInteger(Key(i));
    vr.SetAsFloat((i % 10000) / 100.0);
    dt.SetAsDateTime(base + i / 86400.0);
    ds.Post();
  }
}

// One filled dataset per size, built once and shared by the read-only benchmarks.
ClientDataSet& Filled(int n) {
  static std::map<int, std::unique_ptr<ClientDataSet>> cache;
  auto& slot = cache[n];
  if (!slot) {
    slot = std::make_unique<ClientDataSet>();
    Define(*slot);
    slot->CreateDataSet();
    Fill(*slot, n);
  }
  slot->SetFiltered(false);
  slot->SetIndexName("");
  return *slot;
}

std::string TempFile(int n) {
  return "/tmp/qor_dataset_bench_" + std::to_string(getpid()) + "_" + std::to_string(n) + ".xml";
}

void BM_Append(benchmark::State& st) {
  const int n = static_cast<int>(st.range(0));
  for (auto _ : st) {
    ClientDataSet ds;
    Define(ds);
    ds.CreateDataSet();
    Fill(ds, n);
    benchmark::DoNotOptimize(ds.RecordCount());
  }
  st.SetItemsProcessed(st.iterations() * n);
}

// Appends while an index is active (keys in no particular order).
void BM_AppendIndexed(benchmark::State& st) {
  const int n = static_cast<int>(st.range(0));
  for (auto _ : st) {
    ClientDataSet ds;
    Define(ds);
    ds.SetIndexName("idxNRORDTROCO");
    ds.CreateDataSet();
    Fill(ds, n);
    benchmark::DoNotOptimize(ds.RecordCount());
  }
  st.SetItemsProcessed(st.iterations() * n);
}

void BM_FilteredWalk(benchmark::State& st) {
  const int n = static_cast<int>(st.range(0));
  ClientDataSet& ds = Filled(n);
  auto& vr = ds.FieldByName("VRMOVIVEND");
  for (auto _ : st) {
    ds.SetFiltered(false);
    ds.SetFilter("CDFILIAL = '0001' AND CDCAIXA = '01' AND NRSERIEECF = 'BE0123456789' AND IDTIPOMOVIVE <> 'T'");
    ds.SetFiltered(true);
    double sum = 0;
    for (ds.First(); !ds.Eof(); ds.Next()) sum += vr.AsFloat();
    benchmark::DoNotOptimize(sum);
  }
  st.SetItemsProcessed(st.iterations() * n);
}

// Locate of a key no row holds: a full scan of the rows.
void BM_Locate(benchmark::State& st) {
  const int n = static_cast<int>(st.range(0));
  ClientDataSet& ds = Filled(n);
  const rtl::Variant key(-1);
  for (auto _ : st) benchmark::DoNotOptimize(ds.Locate("NRORDTROCO", key));
  st.SetItemsProcessed(st.iterations() * n);
}

// Locate on two text fields, case-insensitive, found on the last row.
void BM_LocateText(benchmark::State& st) {
  const int n = static_cast<int>(st.range(0));
  ClientDataSet& ds = Filled(n);
  ds.Last();
  ds.Edit();
  ds.FieldByName("NRSERIEECF").SetAsString("LAST");
  ds.Post();
  const rtl::Variant key(std::vector<rtl::Variant>{rtl::Variant("last"), rtl::Variant("cartao de credito & debito")});
  rtl::LocateOptions o;
  o.caseInsensitive = true;
  for (auto _ : st) benchmark::DoNotOptimize(ds.Locate("NRSERIEECF;NMTIPORECE", key, o));
  ds.Edit();
  ds.FieldByName("NRSERIEECF").SetAsString("BE0123456789");
  ds.Post();
  st.SetItemsProcessed(st.iterations() * n);
}

// Switching to an index and walking it once (the ordering is built once per switch).
void BM_IndexOrder(benchmark::State& st) {
  const int n = static_cast<int>(st.range(0));
  ClientDataSet& ds = Filled(n);
  for (auto _ : st) {
    ds.SetIndexName("idxNRORDTROCO");
    int count = 0;
    for (ds.First(); !ds.Eof(); ds.Next()) ++count;
    ds.SetIndexName("");
    benchmark::DoNotOptimize(count);
  }
  st.SetItemsProcessed(st.iterations() * n);
}

void BM_PacketGet(benchmark::State& st) {
  const int n = static_cast<int>(st.range(0));
  ClientDataSet& ds = Filled(n);
  for (auto _ : st) benchmark::DoNotOptimize(ds.Data());
  st.SetItemsProcessed(st.iterations() * n);
}

void BM_PacketSet(benchmark::State& st) {
  const int n = static_cast<int>(st.range(0));
  rtl::Variant packet = Filled(n).Data();
  ClientDataSet ds;
  for (auto _ : st) {
    ds.SetData(packet);
    benchmark::DoNotOptimize(ds.RecordCount());
  }
  st.SetItemsProcessed(st.iterations() * n);
}

void BM_XmlSave(benchmark::State& st) {
  const int n = static_cast<int>(st.range(0));
  ClientDataSet& ds = Filled(n);
  const std::string path = TempFile(n);
  for (auto _ : st) ds.SaveToFile(path);
  std::remove(path.c_str());
  st.SetItemsProcessed(st.iterations() * n);
}

void BM_XmlLoad(benchmark::State& st) {
  const int n = static_cast<int>(st.range(0));
  const std::string path = TempFile(n);
  Filled(n).SaveToFile(path);
  ClientDataSet ds;
  for (auto _ : st) {
    ds.LoadFromFile(path);
    benchmark::DoNotOptimize(ds.RecordCount());
  }
  std::remove(path.c_str());
  st.SetItemsProcessed(st.iterations() * n);
}

#define SIZES Arg(1000)->Arg(100000)->Unit(benchmark::kMillisecond)
BENCHMARK(BM_Append)->SIZES;
BENCHMARK(BM_AppendIndexed)->SIZES;
BENCHMARK(BM_FilteredWalk)->SIZES;
BENCHMARK(BM_Locate)->SIZES;
BENCHMARK(BM_LocateText)->SIZES;
BENCHMARK(BM_IndexOrder)->SIZES;
BENCHMARK(BM_PacketGet)->SIZES;
BENCHMARK(BM_PacketSet)->SIZES;
BENCHMARK(BM_XmlSave)->SIZES;
BENCHMARK(BM_XmlLoad)->SIZES;

}  // namespace
