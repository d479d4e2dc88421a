// The exception the SQLite access layer raises for programming errors (a
// connection put back into its pool twice, an unknown key-value-coding key).
#pragma once

#include <stdexcept>
#include <string>

class SQLDBException : public std::runtime_error {
public:
    SQLDBException(std::string name, std::string reason)
        : std::runtime_error(reason), name_(std::move(name)), reason_(std::move(reason)) {}
    const std::string& name() const { return name_; }
    const std::string& reason() const { return reason_; }

private:
    std::string name_;
    std::string reason_;
};
