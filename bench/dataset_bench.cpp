// Client datasets: appends, filtered walks, Locate, index ordering, data
// packets and XML files, at 1k and 100k rows; the XML load against a bare
// pugixml parse of the same file; deleting, re-keying and appending every
// row at 10k, 100k and 1M rows. After the table it prints the XML ratio and
// how the whole-table operations grow with ten times the rows (about 10x
// for O(n log n), 100x for a quadratic cost).
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <unistd.h>

#include <pugixml.hpp>

#include <cstdio>
#include <cstring>
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

// Throws a dataset away outside the timing.
void Drop(benchmark::State& st, std::unique_ptr<ClientDataSet>& ds) {
  st.PauseTiming();
  ds.reset();
  st.ResumeTiming();
}

void BM_XmlSave(benchmark::State& st) {
  const int n = static_cast<int>(st.range(0));
  ClientDataSet& ds = Filled(n);
  const std::string path = TempFile(n);
  for (auto _ : st) ds.SaveToFile(path);
  std::remove(path.c_str());
  st.SetItemsProcessed(st.iterations() * n);
}

// Loading into a new dataset, as a host opens a file (the dataset is thrown
// away outside the timing).
void BM_XmlLoad(benchmark::State& st) {
  const int n = static_cast<int>(st.range(0));
  const std::string path = TempFile(n);
  Filled(n).SaveToFile(path);
  for (auto _ : st) {
    auto ds = std::make_unique<ClientDataSet>();
    ds->LoadFromFile(path);
    benchmark::DoNotOptimize(ds->RecordCount());
    Drop(st, ds);
  }
  std::remove(path.c_str());
  st.SetItemsProcessed(st.iterations() * n);
}

// Loading again over the same rows: the old rows are freed only once the
// new ones are read (a bad file leaves the dataset as it was), so twice the
// memory is touched.
void BM_XmlReload(benchmark::State& st) {
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

// The same file parsed by pugixml alone (read and parsed, nothing converted).
void BM_PugixmlParse(benchmark::State& st) {
  const int n = static_cast<int>(st.range(0));
  const std::string path = TempFile(n);
  Filled(n).SaveToFile(path);
  for (auto _ : st) {
    pugi::xml_document doc;
    benchmark::DoNotOptimize(doc.load_file(path.c_str()));
  }
  std::remove(path.c_str());
  st.SetItemsProcessed(st.iterations() * n);
}

// ---- whole-table operations: the table is made outside the timing ----

// A fresh table of n rows, index `index` active ("" for none).
std::unique_ptr<ClientDataSet> Fresh(benchmark::State& st, int n, const char* index) {
  st.PauseTiming();
  auto ds = std::make_unique<ClientDataSet>();
  Define(*ds);
  ds->CreateDataSet();
  Fill(*ds, n);
  ds->SetIndexName(index);
  ds->First();
  st.ResumeTiming();
  return ds;
}

void BM_DeleteFromFront(benchmark::State& st) {
  const int n = static_cast<int>(st.range(0));
  for (auto _ : st) {
    auto ds = Fresh(st, n, "");
    while (!ds->IsEmpty()) ds->Delete();
    Drop(st, ds);
  }
  st.SetItemsProcessed(st.iterations() * n);
}

// Deleting the four rows in five that a filter shows, walking it.
void BM_DeleteFiltered(benchmark::State& st) {
  const int n = static_cast<int>(st.range(0));
  for (auto _ : st) {
    auto ds = Fresh(st, n, "idxNRORDTROCO");
    ds->SetFilter("IDTIPOMOVIVE <> 'T'");
    ds->SetFiltered(true);
    for (ds->First(); !ds->Eof();) ds->Delete();
    Drop(st, ds);
  }
  st.SetItemsProcessed(st.iterations() * n);
}

// Every row's key field changed under the index on it: the first row gets a
// key above all the old ones, landing among the rows already changed.
void BM_EditKeys(benchmark::State& st) {
  const int n = static_cast<int>(st.range(0));
  for (auto _ : st) {
    auto ds = Fresh(st, n, "idxNRORDTROCO");
    auto& ord = ds->FieldByName("NRORDTROCO");
    for (int i = 0; i < n; ++i) {
      ds->First();
      ds->Edit();
      ord.SetAsInteger(2000000 + Key(i));
      ds->Post();
    }
    Drop(st, ds);
  }
  st.SetItemsProcessed(st.iterations() * n);
}

// Appends under an index, the host asking for the row's position after each.
void BM_AppendIndexedRecNo(benchmark::State& st) {
  const int n = static_cast<int>(st.range(0));
  for (auto _ : st) {
    auto ds = Fresh(st, 0, "idxNRORDTROCO");
    auto& ord = ds->FieldByName("NRORDTROCO");
    long sum = 0;
    for (int i = 0; i < n; ++i) {
      ds->Append();
      ord.SetAsInteger(Key(i));
      ds->Post();
      sum += ds->RecNo();
    }
    benchmark::DoNotOptimize(sum);
    Drop(st, ds);
  }
  st.SetItemsProcessed(st.iterations() * n);
}

#define SIZES Arg(1000)->Arg(100000)->Unit(benchmark::kMillisecond)
#define WHOLE_TABLE Arg(10000)->Arg(100000)->Arg(1000000)->Iterations(1)->Unit(benchmark::kMillisecond)
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
BENCHMARK(BM_XmlReload)->SIZES;
BENCHMARK(BM_PugixmlParse)->SIZES;
BENCHMARK(BM_DeleteFromFront)->WHOLE_TABLE;
BENCHMARK(BM_DeleteFiltered)->WHOLE_TABLE;
BENCHMARK(BM_EditKeys)->WHOLE_TABLE;
BENCHMARK(BM_AppendIndexedRecNo)->WHOLE_TABLE;

// Shows the runs as usual and keeps each one's time for the summary.
class SummaryReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    // Processor time: the machine may be shared, and these are not waiting on anything.
    for (const Run& r : runs) times_[r.benchmark_name()] = r.GetAdjustedCPUTime();
    ConsoleReporter::ReportRuns(runs);
  }
  const double* Time(const std::string& name) const {
    auto it = times_.find(name);
    return it == times_.end() ? nullptr : &it->second;
  }

 private:
  std::map<std::string, double> times_;
};

void PrintSummary(const SummaryReporter& rep) {
  for (const char* n : {"1000", "100000"}) {
    const double* parse = rep.Time(std::string("BM_PugixmlParse/") + n);
    for (const char* b : {"BM_XmlLoad/", "BM_XmlReload/"}) {
      const double* load = rep.Time(b + std::string(n));
      if (load && parse && *parse > 0)
        std::printf("%-9s / pugixml parse, %6s rows: %.2fx\n", std::string(b + 3).substr(0, std::strlen(b) - 4).c_str(),
                    n, *load / *parse);
    }
  }
  for (const char* b : {"BM_DeleteFromFront", "BM_DeleteFiltered", "BM_EditKeys", "BM_AppendIndexedRecNo"}) {
    const double* t10k = rep.Time(std::string(b) + "/10000/iterations:1");
    const double* t100k = rep.Time(std::string(b) + "/100000/iterations:1");
    const double* t1m = rep.Time(std::string(b) + "/1000000/iterations:1");
    if (!t10k || !t100k) continue;
    std::printf("%-22s 10k->100k: %6.1fx", b, *t100k / *t10k);
    if (t1m) std::printf("   100k->1M: %6.1fx", *t1m / *t100k);
    std::printf("\n");
  }
}

}  // namespace

int main(int argc, char** argv) {
  // One allocator policy for the whole run: whether freed memory went back
  // to the system (and is taken again page by page) would otherwise depend
  // on the benchmarks that ran before, changing a load's time by half.
  mallopt(M_MMAP_THRESHOLD, 32 << 20);
  mallopt(M_TRIM_THRESHOLD, 1 << 30);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  SummaryReporter rep;
  benchmark::RunSpecifiedBenchmarks(&rep);
  PrintSummary(rep);
  benchmark::Shutdown();
  return 0;
}
