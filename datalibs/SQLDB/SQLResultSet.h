// Prepared statements and the cursor a query hands back.
//
// SQLStatement owns one prepared SQLite statement with its text and use
// count; connections cache them and result sets hold them while rows are read.
// SQLResultSet steps through the rows of one statement and reads the current
// row's columns by index (from 0) or by name (without regard to case, for
// every letter that has a lower case, not ASCII only).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "foundation/Value.h"

struct sqlite3_stmt;
class SQLDatabase;

namespace sqldb_detail {
// A column name as names are compared: every letter in lower case, by
// Unicode's case mapping; a name that is not UTF-8 has its ASCII letters
// lowered only.
std::string lowercaseColumnName(std::string_view name);
}  // namespace sqldb_detail

class SQLStatement {
public:
    SQLStatement() = default;
    ~SQLStatement();
    SQLStatement(const SQLStatement&) = delete;
    SQLStatement& operator=(const SQLStatement&) = delete;

    // Finalises the statement when there is one and forgets it.
    void close();
    // Resets the statement when there is one.
    void reset();

    sqlite3_stmt* statement() const { return statement_; }
    // Takes ownership of a prepared statement (a previous one is finalised).
    void setStatement(sqlite3_stmt* statement);
    const std::string& query() const { return query_; }
    void setQuery(std::string query) { query_ = std::move(query); }
    long long useCount() const { return useCount_; }
    void setUseCount(long long count) { useCount_ = count; }

    // Set while an open result set iterates the statement, so a connection
    // never hands it to a second query at the same time.
    bool inUse() const { return inUse_; }
    void setInUse(bool inUse) { inUse_ = inUse; }

    // The values whose texts and bytes the statement's parameters point at.
    // They are bound without a copy; holding them here keeps those bytes
    // (which never change) alive, whatever the caller then does with its own
    // values, until the parameters are bound again or the statement is
    // finalised.
    std::vector<ns::Value>& boundValues() { return boundValues_; }

    // "<SQLStatement: 0x...> 2 hit(s) for query select ..."
    std::string description() const;

    // Finalises, on behalf of a closing connection, a statement that may be
    // owned by an SQLStatement; the owner then holds no statement.
    static void finalizeOwned(sqlite3_stmt* statement);

private:
    sqlite3_stmt* statement_ = nullptr;
    std::string query_;
    long long useCount_ = 0;
    bool inUse_ = false;
    std::vector<ns::Value> boundValues_;
};

// An object whose properties a result set can fill by key-value coding.
class KeyValueCoding {
public:
    virtual ~KeyValueCoding() = default;
    // Sets the value under the key; an object that has no such key throws
    // SQLDBException named "NSUnknownKeyException" (see unknownKey()).
    virtual void setValueForKey(const ns::Value& value, const std::string& key) = 0;

protected:
    [[noreturn]] void unknownKey(const std::string& key) const;
};

class SQLResultSet {
public:
    using ColumnMap = std::unordered_map<std::string, int>;

    static std::shared_ptr<SQLResultSet> resultSetWithStatement(std::shared_ptr<SQLStatement> statement,
                                                                SQLDatabase* parentDB);
    SQLResultSet(std::shared_ptr<SQLStatement> statement, SQLDatabase* parentDB);
    ~SQLResultSet();
    SQLResultSet(const SQLResultSet&) = delete;
    SQLResultSet& operator=(const SQLResultSet&) = delete;

    // Steps to the next row: true while a row is current; false at the end or
    // on an error, after which the result set is closed.
    bool next();
    bool hasAnotherRow() const;
    // Resets and releases the statement and leaves the connection.
    void close();

    int columnCount() const;
    int columnIndexForName(std::string_view columnName);
    std::string columnNameForIndex(int columnIdx) const;

    int intForColumnIndex(int columnIdx) const;
    long long longForColumnIndex(int columnIdx) const;
    long long longLongIntForColumnIndex(int columnIdx) const;
    unsigned long long unsignedLongLongIntForColumnIndex(int columnIdx) const;
    bool boolForColumnIndex(int columnIdx) const;
    double doubleForColumnIndex(int columnIdx) const;
    std::optional<std::string> stringForColumnIndex(int columnIdx) const;
    std::optional<ns::Date> dateForColumnIndex(int columnIdx) const;
    std::optional<ns::Bytes> dataForColumnIndex(int columnIdx) const;
    // A view of SQLite's own buffer, valid until the row changes or the
    // result set closes.
    std::optional<std::span<const std::uint8_t>> dataNoCopyForColumnIndex(int columnIdx) const;
    const char* UTF8StringForColumnIndex(int columnIdx) const;
    bool columnIndexIsNull(int columnIdx) const;
    // A number, a string, data, or the null object.
    ns::Value objectForColumnIndex(int columnIdx) const;

    int intForColumn(std::string_view columnName);
    long long longForColumn(std::string_view columnName);
    long long longLongIntForColumn(std::string_view columnName);
    unsigned long long unsignedLongLongIntForColumn(std::string_view columnName);
    bool boolForColumn(std::string_view columnName);
    double doubleForColumn(std::string_view columnName);
    std::optional<std::string> stringForColumn(std::string_view columnName);
    std::optional<ns::Date> dateForColumn(std::string_view columnName);
    std::optional<ns::Bytes> dataForColumn(std::string_view columnName);
    std::optional<std::span<const std::uint8_t>> dataNoCopyForColumn(std::string_view columnName);
    const char* UTF8StringForColumnName(std::string_view columnName);
    bool columnIsNull(std::string_view columnName);
    ns::Value objectForColumnName(std::string_view columnName);

    // Column name (as SQLite gives it) to value; nil when the row has no data.
    ns::Value resultDictionary() const;
    // The same under lower-case names.
    ns::Value resultDict();
    // Sets the text of every non-NULL column on the object under the column's name.
    void kvcMagic(KeyValueCoding& object) const;
    void kvcMagic(ns::Value& dictionary) const;

    SQLDatabase* parentDB() const { return parentDB_; }
    void setParentDB(SQLDatabase* parentDB) { parentDB_ = parentDB; }
    const std::string& query() const { return query_; }
    void setQuery(std::string query) { query_ = std::move(query); }
    const ColumnMap& columnNameToIndexMap() const { return columnNameToIndexMap_; }
    void setColumnNameToIndexMap(ColumnMap map) { columnNameToIndexMap_ = std::move(map); }
    const std::shared_ptr<SQLStatement>& statement() const { return statement_; }
    void setStatement(std::shared_ptr<SQLStatement> statement) { statement_ = std::move(statement); }

private:
    sqlite3_stmt* stmt() const { return statement_ ? statement_->statement() : nullptr; }
    void setupColumnNames();
    template <typename F>
    void forEachTextColumn(F&& set) const;

    std::shared_ptr<SQLStatement> statement_;
    SQLDatabase* parentDB_ = nullptr;  // not owned; cleared when either side closes
    std::string query_;
    ColumnMap columnNameToIndexMap_;
    bool columnNamesSetup_ = false;
};
