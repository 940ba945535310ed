// The extra field of a local or central header: a sequence of (id, size, data) records.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class CZipExtraField {
public:
    struct Record {
        uint16_t id;
        std::string data;
    };

    // Splits stored bytes into records; a last record that claims more bytes than remain is
    // kept with the bytes there are, so its reader can tell it is too short.
    static CZipExtraField Parse(const std::string& bytes);
    std::string Encode() const;

    const Record* Find(uint16_t id) const;
    void Set(uint16_t id, std::string data);
    void Remove(uint16_t id);
    bool IsEmpty() const { return m_records.empty(); }
    const std::vector<Record>& Records() const { return m_records; }

private:
    std::vector<Record> m_records;
};
