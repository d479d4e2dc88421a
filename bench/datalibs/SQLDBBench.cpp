// The SQLite access layer against the plain sqlite3 C API doing the same
// work, in one run: 100,000 inserts of three bound values in one transaction,
// and 100,000-row selects read by column index and by column name.
//
// Each pair runs on an in-memory database so that the disk does not hide
// the layer's own cost. Compare Layer* with Raw* of the same work.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <cstdlib>
#include <string>

#include "SQLDB/SQLDatabase.h"

namespace {

constexpr int kRows = 100000;
const std::string kText = "Kestrowline row text value";  // longer than the small-string buffer
const char* kCreate = "create table t (a integer, b text, c real)";
const char* kInsert = "insert into t (a, b, c) values (?, ?, ?)";
const char* kSelect = "select a, b, c from t";

void check(int rc, int expected) {
    if (rc != expected) std::abort();
}

void rawInsertRows(sqlite3* db) {
    check(sqlite3_exec(db, "begin exclusive transaction", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_stmt* st = nullptr;
    check(sqlite3_prepare_v2(db, kInsert, -1, &st, nullptr), SQLITE_OK);
    for (int i = 0; i < kRows; ++i) {
        sqlite3_bind_int64(st, 1, i);
        sqlite3_bind_text(st, 2, kText.data(), static_cast<int>(kText.size()), SQLITE_STATIC);
        sqlite3_bind_double(st, 3, i * 0.5);
        check(sqlite3_step(st), SQLITE_DONE);
        sqlite3_reset(st);
    }
    sqlite3_finalize(st);
    check(sqlite3_exec(db, "commit transaction", nullptr, nullptr, nullptr), SQLITE_OK);
}

void RawInsert(benchmark::State& state) {
    for (auto _ : state) {
        sqlite3* db = nullptr;
        check(sqlite3_open(":memory:", &db), SQLITE_OK);
        check(sqlite3_exec(db, kCreate, nullptr, nullptr, nullptr), SQLITE_OK);
        rawInsertRows(db);
        sqlite3_close(db);
    }
    state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(RawInsert)->Unit(benchmark::kMillisecond);

void LayerInsert(benchmark::State& state) {
    for (auto _ : state) {
        SQLDatabase db(nullptr);
        db.open();
        db.setShouldCacheStatements(true);
        db.executeUpdate(kCreate);
        db.beginTransaction();
        for (int i = 0; i < kRows; ++i)
            if (!db.executeUpdate(kInsert, i, kText, i * 0.5)) std::abort();
        db.commit();
        db.close();
    }
    state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(LayerInsert)->Unit(benchmark::kMillisecond);

// A connection holding kRows rows, made once per benchmark.
sqlite3* filledRawDatabase() {
    sqlite3* db = nullptr;
    check(sqlite3_open(":memory:", &db), SQLITE_OK);
    check(sqlite3_exec(db, kCreate, nullptr, nullptr, nullptr), SQLITE_OK);
    rawInsertRows(db);
    return db;
}

// Opens the layer's in-memory database with kRows rows, written through the
// C API so that only the reading is the layer's.
void fillThroughLayer(SQLDatabase& db) {
    db.open();
    db.executeUpdate(kCreate);
    rawInsertRows(db.sqliteHandle());
}

void RawSelect(benchmark::State& state) {
    sqlite3* db = filledRawDatabase();
    for (auto _ : state) {
        long long sumA = 0;
        double sumC = 0;
        std::size_t textBytes = 0;
        sqlite3_stmt* st = nullptr;
        check(sqlite3_prepare_v2(db, kSelect, -1, &st, nullptr), SQLITE_OK);
        while (sqlite3_step(st) == SQLITE_ROW) {
            sumA += sqlite3_column_int64(st, 0);
            const unsigned char* text = sqlite3_column_text(st, 1);
            std::string b(reinterpret_cast<const char*>(text), static_cast<std::size_t>(sqlite3_column_bytes(st, 1)));
            textBytes += b.size();
            sumC += sqlite3_column_double(st, 2);
        }
        sqlite3_finalize(st);
        benchmark::DoNotOptimize(sumA);
        benchmark::DoNotOptimize(sumC);
        benchmark::DoNotOptimize(textBytes);
    }
    sqlite3_close(db);
    state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(RawSelect)->Unit(benchmark::kMillisecond);

// Reads every row through the layer, its columns taken by `byName` or by index.
void layerSelect(benchmark::State& state, bool byName) {
    SQLDatabase db(nullptr);
    fillThroughLayer(db);
    for (auto _ : state) {
        long long sumA = 0;
        double sumC = 0;
        std::size_t textBytes = 0;
        auto rs = db.executeQuery(kSelect);
        while (rs->next()) {
            if (byName) {
                sumA += rs->longLongIntForColumn("a");
                textBytes += rs->stringForColumn("b")->size();
                sumC += rs->doubleForColumn("c");
            } else {
                sumA += rs->longLongIntForColumnIndex(0);
                textBytes += rs->stringForColumnIndex(1)->size();
                sumC += rs->doubleForColumnIndex(2);
            }
        }
        benchmark::DoNotOptimize(sumA);
        benchmark::DoNotOptimize(sumC);
        benchmark::DoNotOptimize(textBytes);
    }
    state.SetItemsProcessed(state.iterations() * kRows);
}
void LayerSelectByIndex(benchmark::State& state) { layerSelect(state, false); }
void LayerSelectByName(benchmark::State& state) { layerSelect(state, true); }
BENCHMARK(LayerSelectByIndex)->Unit(benchmark::kMillisecond);
BENCHMARK(LayerSelectByName)->Unit(benchmark::kMillisecond);

}  // namespace
