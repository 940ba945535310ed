#include "zip/zip_extra_field.h"

#include "zip/zip_exception.h"

#include <algorithm>

CZipExtraField CZipExtraField::Parse(const std::string& bytes) {
    CZipExtraField field;
    size_t pos = 0;
    while (bytes.size() - pos >= 4) {
        const auto* p = reinterpret_cast<const unsigned char*>(bytes.data()) + pos;
        const uint16_t id = static_cast<uint16_t>(p[0] | p[1] << 8);
        const size_t size = static_cast<size_t>(p[2] | p[3] << 8);
        pos += 4;
        const size_t available = std::min(size, bytes.size() - pos);
        field.m_records.push_back({id, bytes.substr(pos, available)});
        pos += available;
    }
    return field;
}

std::string CZipExtraField::Encode() const {
    std::string bytes;
    for (const Record& record : m_records) {
        if (record.data.size() > 0xFFFF) {
            throw CZipException(CZipException::tooLongData);
        }
        const size_t size = record.data.size();
        bytes.push_back(static_cast<char>(record.id & 0xFF));
        bytes.push_back(static_cast<char>(record.id >> 8));
        bytes.push_back(static_cast<char>(size & 0xFF));
        bytes.push_back(static_cast<char>(size >> 8));
        bytes += record.data;
    }
    return bytes;
}

const CZipExtraField::Record* CZipExtraField::Find(uint16_t id) const {
    for (const Record& record : m_records) {
        if (record.id == id) {
            return &record;
        }
    }
    return nullptr;
}

void CZipExtraField::Set(uint16_t id, std::string data) {
    for (Record& record : m_records) {
        if (record.id == id) {
            record.data = std::move(data);
            return;
        }
    }
    m_records.push_back({id, std::move(data)});
}

void CZipExtraField::Remove(uint16_t id) {
    m_records.erase(std::remove_if(m_records.begin(), m_records.end(),
                                   [id](const Record& r) { return r.id == id; }),
                    m_records.end());
}
