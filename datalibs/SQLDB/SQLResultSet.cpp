#include "SQLDB/SQLResultSet.h"

#include <glib.h>
#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <mutex>

#include "SQLDB/SQLDatabase.h"
#include "foundation/Log.h"
#include "foundation/Strings.h"

namespace {

// Which SQLStatement owns each prepared statement, so that a connection that
// finalises leftover statements while closing leaves no owner holding a
// finalised pointer.
std::mutex gOwnersMutex;
std::unordered_map<sqlite3_stmt*, SQLStatement*>& owners() {
    static auto* map = new std::unordered_map<sqlite3_stmt*, SQLStatement*>();
    return *map;
}

}  // namespace

// Letter by letter, by Unicode's simple mapping, which does not depend on the
// locale (whole-string lowering would make "I" dotless in a Turkish one).
std::string sqldb_detail::lowercaseColumnName(std::string_view name) {
    auto isAscii = [](char c) { return static_cast<unsigned char>(c) < 0x80; };
    if (std::all_of(name.begin(), name.end(), isAscii) ||
        !g_utf8_validate(name.data(), static_cast<gssize>(name.size()), nullptr))
        return ns::asciiLowercase(name);
    std::string out;
    out.reserve(name.size());
    const char* end = name.data() + name.size();
    for (const char* p = name.data(); p < end; p = g_utf8_next_char(p)) {
        gchar letter[6];
        gint length = g_unichar_to_utf8(g_unichar_tolower(g_utf8_get_char(p)), letter);
        out.append(letter, static_cast<std::size_t>(length));
    }
    return out;
}

// ---- SQLStatement ----

SQLStatement::~SQLStatement() { close(); }

void SQLStatement::close() {
    if (!statement_) return;
    {
        std::lock_guard lock(gOwnersMutex);
        owners().erase(statement_);
    }
    sqlite3_finalize(statement_);
    statement_ = nullptr;
    boundValues_.clear();
}

void SQLStatement::reset() {
    if (statement_) sqlite3_reset(statement_);
}

void SQLStatement::setStatement(sqlite3_stmt* statement) {
    if (statement == statement_) return;
    close();
    statement_ = statement;
    if (statement_) {
        std::lock_guard lock(gOwnersMutex);
        owners()[statement_] = this;
    }
}

void SQLStatement::finalizeOwned(sqlite3_stmt* statement) {
    {
        std::lock_guard lock(gOwnersMutex);
        auto it = owners().find(statement);
        if (it != owners().end()) {
            it->second->statement_ = nullptr;
            owners().erase(it);
        }
    }
    sqlite3_finalize(statement);
}

std::string SQLStatement::description() const {
    return ns::format("<SQLStatement: %p> %ld hit(s) for query %@", static_cast<const void*>(this), useCount_, query_);
}

// ---- KeyValueCoding ----

void KeyValueCoding::unknownKey(const std::string& key) const {
    throw SQLDBException("NSUnknownKeyException",
                         "setValue:forKey:: this class is not key value coding-compliant for the key " + key + ".");
}

// ---- SQLResultSet ----

std::shared_ptr<SQLResultSet> SQLResultSet::resultSetWithStatement(std::shared_ptr<SQLStatement> statement,
                                                                   SQLDatabase* parentDB) {
    return std::make_shared<SQLResultSet>(std::move(statement), parentDB);
}

SQLResultSet::SQLResultSet(std::shared_ptr<SQLStatement> statement, SQLDatabase* parentDB)
    : statement_(std::move(statement)), parentDB_(parentDB) {
    if (statement_) statement_->setInUse(true);
}

SQLResultSet::~SQLResultSet() { close(); }

void SQLResultSet::close() {
    if (statement_) {
        statement_->reset();
        statement_->setInUse(false);
        statement_.reset();
    }
    if (SQLDatabase* parent = parentDB_) {
        parentDB_ = nullptr;
        parent->resultSetDidClose(this);
    }
}

bool SQLResultSet::next() {
    sqlite3_stmt* st = stmt();
    if (!st) return false;
    int rc = SQLITE_OK;
    int retries = 0;
    for (;;) {
        {
            SQLDatabase::StepScope stepping(parentDB_);
            rc = sqlite3_step(st);
        }
        if (rc != SQLITE_BUSY) break;
        // Busy comes from another connection and passes; "locked" comes from
        // this one and would never pass, so it ends the iteration below.
        if (parentDB_) {
            parentDB_->pauseForBusyRetry();
        } else {
            usleep(20);
        }
        int limit = parentDB_ ? parentDB_->busyRetryTimeout() : 0;
        if (limit != 0 && retries++ > limit) {
            ns::NSLog("%s:%d Database busy (%@)", __func__, __LINE__,
                      parentDB_->databasePath() ? ns::Value(*parentDB_->databasePath()) : ns::Value());
            ns::NSLog("Database busy");
            break;
        }
    }
    if (rc == SQLITE_ROW) return true;
    if (rc != SQLITE_DONE && rc != SQLITE_BUSY) {
        const char* message = sqlite3_errmsg(sqlite3_db_handle(st));
        if (rc == SQLITE_ERROR || rc == SQLITE_MISUSE) {
            ns::NSLog("Error calling sqlite3_step (%d: %s) rs", rc, message);
        } else {
            ns::NSLog("Unknown error calling sqlite3_step (%d: %s) rs", rc, message);
        }
    }
    close();
    return false;
}

bool SQLResultSet::hasAnotherRow() const { return parentDB_ && parentDB_->lastErrorCode() == SQLITE_ROW; }

int SQLResultSet::columnCount() const {
    sqlite3_stmt* st = stmt();
    return st ? sqlite3_column_count(st) : 0;
}

void SQLResultSet::setupColumnNames() {
    int count = columnCount();
    for (int i = 0; i < count; ++i) {
        const char* name = sqlite3_column_name(stmt(), i);
        if (name) columnNameToIndexMap_[sqldb_detail::lowercaseColumnName(name)] = i;
    }
    columnNamesSetup_ = true;
}

int SQLResultSet::columnIndexForName(std::string_view columnName) {
    if (!columnNamesSetup_) setupColumnNames();
    std::string lower = sqldb_detail::lowercaseColumnName(columnName);
    auto it = columnNameToIndexMap_.find(lower);
    if (it != columnNameToIndexMap_.end()) return it->second;
    ns::NSLog("Warning: I could not find the column named '%@'.", lower);
    return -1;
}

std::string SQLResultSet::columnNameForIndex(int columnIdx) const {
    sqlite3_stmt* st = stmt();
    if (!st || columnIdx < 0 || columnIdx >= sqlite3_column_count(st)) return {};
    const char* name = sqlite3_column_name(st, columnIdx);
    return name ? name : "";
}

// Column reads outside the statement's columns (an unknown name reads -1) or
// from a closed result set give 0 or nothing without asking SQLite.
#define SQLDB_COLUMN(st, idx)                                                   \
    sqlite3_stmt* st = stmt();                                                  \
    const bool inRange = st && idx >= 0 && idx < sqlite3_column_count(st)

int SQLResultSet::intForColumnIndex(int columnIdx) const {
    SQLDB_COLUMN(st, columnIdx);
    return inRange ? sqlite3_column_int(st, columnIdx) : 0;
}

long long SQLResultSet::longForColumnIndex(int columnIdx) const {
    SQLDB_COLUMN(st, columnIdx);
    return inRange ? sqlite3_column_int64(st, columnIdx) : 0;
}

long long SQLResultSet::longLongIntForColumnIndex(int columnIdx) const { return longForColumnIndex(columnIdx); }

unsigned long long SQLResultSet::unsignedLongLongIntForColumnIndex(int columnIdx) const {
    return static_cast<unsigned long long>(longForColumnIndex(columnIdx));
}

bool SQLResultSet::boolForColumnIndex(int columnIdx) const { return intForColumnIndex(columnIdx) != 0; }

double SQLResultSet::doubleForColumnIndex(int columnIdx) const {
    SQLDB_COLUMN(st, columnIdx);
    return inRange ? sqlite3_column_double(st, columnIdx) : 0.0;
}

std::optional<std::string> SQLResultSet::stringForColumnIndex(int columnIdx) const {
    SQLDB_COLUMN(st, columnIdx);
    if (!inRange || sqlite3_column_type(st, columnIdx) == SQLITE_NULL) return std::nullopt;
    const unsigned char* text = sqlite3_column_text(st, columnIdx);
    if (!text) return std::nullopt;
    // The bytes as stored, whether or not they are valid UTF-8.
    return std::string(reinterpret_cast<const char*>(text), static_cast<std::size_t>(sqlite3_column_bytes(st, columnIdx)));
}

std::optional<ns::Date> SQLResultSet::dateForColumnIndex(int columnIdx) const {
    SQLDB_COLUMN(st, columnIdx);
    if (!inRange || sqlite3_column_type(st, columnIdx) == SQLITE_NULL) return std::nullopt;
    return ns::Date{sqlite3_column_double(st, columnIdx)};
}

std::optional<ns::Bytes> SQLResultSet::dataForColumnIndex(int columnIdx) const {
    auto view = dataNoCopyForColumnIndex(columnIdx);
    if (!view) return std::nullopt;
    return ns::Bytes(view->begin(), view->end());
}

std::optional<std::span<const std::uint8_t>> SQLResultSet::dataNoCopyForColumnIndex(int columnIdx) const {
    SQLDB_COLUMN(st, columnIdx);
    if (!inRange || sqlite3_column_type(st, columnIdx) == SQLITE_NULL) return std::nullopt;
    const void* bytes = sqlite3_column_blob(st, columnIdx);
    auto length = static_cast<std::size_t>(sqlite3_column_bytes(st, columnIdx));
    if (!bytes || length == 0) return std::span<const std::uint8_t>();
    return std::span<const std::uint8_t>(static_cast<const std::uint8_t*>(bytes), length);
}

const char* SQLResultSet::UTF8StringForColumnIndex(int columnIdx) const {
    SQLDB_COLUMN(st, columnIdx);
    if (!inRange || sqlite3_column_type(st, columnIdx) == SQLITE_NULL) return nullptr;
    return reinterpret_cast<const char*>(sqlite3_column_text(st, columnIdx));
}

bool SQLResultSet::columnIndexIsNull(int columnIdx) const {
    SQLDB_COLUMN(st, columnIdx);
    return !inRange || sqlite3_column_type(st, columnIdx) == SQLITE_NULL;
}

ns::Value SQLResultSet::objectForColumnIndex(int columnIdx) const {
    SQLDB_COLUMN(st, columnIdx);
    if (!inRange) return ns::Value::null();
    switch (sqlite3_column_type(st, columnIdx)) {
        case SQLITE_INTEGER: return ns::Value(static_cast<long long>(sqlite3_column_int64(st, columnIdx)));
        case SQLITE_FLOAT: return ns::Value(sqlite3_column_double(st, columnIdx));
        case SQLITE_BLOB: return ns::Value(*dataForColumnIndex(columnIdx));
        default: {
            auto text = stringForColumnIndex(columnIdx);
            return text ? ns::Value(std::move(*text)) : ns::Value::null();
        }
    }
}

#undef SQLDB_COLUMN

int SQLResultSet::intForColumn(std::string_view n) { return intForColumnIndex(columnIndexForName(n)); }
long long SQLResultSet::longForColumn(std::string_view n) { return longForColumnIndex(columnIndexForName(n)); }
long long SQLResultSet::longLongIntForColumn(std::string_view n) { return longLongIntForColumnIndex(columnIndexForName(n)); }
unsigned long long SQLResultSet::unsignedLongLongIntForColumn(std::string_view n) {
    return unsignedLongLongIntForColumnIndex(columnIndexForName(n));
}
bool SQLResultSet::boolForColumn(std::string_view n) { return boolForColumnIndex(columnIndexForName(n)); }
double SQLResultSet::doubleForColumn(std::string_view n) { return doubleForColumnIndex(columnIndexForName(n)); }
std::optional<std::string> SQLResultSet::stringForColumn(std::string_view n) {
    return stringForColumnIndex(columnIndexForName(n));
}
std::optional<ns::Date> SQLResultSet::dateForColumn(std::string_view n) { return dateForColumnIndex(columnIndexForName(n)); }
std::optional<ns::Bytes> SQLResultSet::dataForColumn(std::string_view n) { return dataForColumnIndex(columnIndexForName(n)); }
std::optional<std::span<const std::uint8_t>> SQLResultSet::dataNoCopyForColumn(std::string_view n) {
    return dataNoCopyForColumnIndex(columnIndexForName(n));
}
const char* SQLResultSet::UTF8StringForColumnName(std::string_view n) {
    return UTF8StringForColumnIndex(columnIndexForName(n));
}
bool SQLResultSet::columnIsNull(std::string_view n) { return columnIndexIsNull(columnIndexForName(n)); }
ns::Value SQLResultSet::objectForColumnName(std::string_view n) { return objectForColumnIndex(columnIndexForName(n)); }

ns::Value SQLResultSet::resultDictionary() const {
    sqlite3_stmt* st = stmt();
    if (!st || sqlite3_data_count(st) <= 0) {
        ns::NSLog("Warning: There seem to be no columns in this set.");
        return {};
    }
    ns::Value dict = ns::Value::dictionary();
    int count = sqlite3_column_count(st);
    for (int i = 0; i < count; ++i) dict.set(columnNameForIndex(i), objectForColumnIndex(i));
    return dict;
}

ns::Value SQLResultSet::resultDict() {
    sqlite3_stmt* st = stmt();
    if (!st || sqlite3_data_count(st) <= 0) {
        ns::NSLog("Warning: There seem to be no columns in this set.");
        return {};
    }
    if (!columnNamesSetup_) setupColumnNames();
    ns::Value dict = ns::Value::dictionary();
    int count = sqlite3_column_count(st);
    // Column order; a name shared by several columns appears once, with the
    // value of the column the name map holds for it (the later one).
    for (int i = 0; i < count; ++i) {
        std::string name = sqldb_detail::lowercaseColumnName(columnNameForIndex(i));
        if (dict.has(name)) continue;
        dict.set(name, objectForColumnName(name));
    }
    return dict;
}

template <typename F>
void SQLResultSet::forEachTextColumn(F&& set) const {
    sqlite3_stmt* st = stmt();
    if (!st) return;
    int count = sqlite3_column_count(st);
    for (int i = 0; i < count; ++i) {
        const unsigned char* text = sqlite3_column_text(st, i);
        if (!text) continue;
        std::string value(reinterpret_cast<const char*>(text), static_cast<std::size_t>(sqlite3_column_bytes(st, i)));
        set(ns::Value(std::move(value)), columnNameForIndex(i));
    }
}

void SQLResultSet::kvcMagic(KeyValueCoding& object) const {
    forEachTextColumn([&](const ns::Value& value, const std::string& key) { object.setValueForKey(value, key); });
}

void SQLResultSet::kvcMagic(ns::Value& dictionary) const {
    forEachTextColumn([&](const ns::Value& value, const std::string& key) {
        if (!dictionary.isDictionary())
            throw SQLDBException("NSUnknownKeyException",
                                 "setValue:forKey:: this class is not key value coding-compliant for the key " + key +
                                     ".");
        dictionary.set(key, value);
    });
}
