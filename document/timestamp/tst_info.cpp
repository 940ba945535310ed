#include "document/timestamp/tst_info.h"

#include <string>

#include "document/timestamp/timestamp_problem.h"

namespace Dossiq::Documents {

namespace {

constexpr BYTE kGeneralizedTime = 0x18;
const std::vector<BYTE> kOidSha256 = {0x60, 0x86, 0x48, 0x01, 0x65, 0x03, 0x04, 0x02, 0x01};
const std::vector<BYTE> kOidSha384 = {0x60, 0x86, 0x48, 0x01, 0x65, 0x03, 0x04, 0x02, 0x02};
const std::vector<BYTE> kOidSha512 = {0x60, 0x86, 0x48, 0x01, 0x65, 0x03, 0x04, 0x02, 0x03};
const std::vector<BYTE> kOidTstInfo = {0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D,
                                       0x01, 0x09, 0x10, 0x01, 0x04};

void Need(bool ok) {
    if (!ok) {
        throw TimestampError(TimestampProblem::Malformed);
    }
}

std::vector<BYTE> Bytes(const Der::Element& element) {
    return {element.content, element.content + element.length};
}

// Days since 1970-01-01 of a proleptic Gregorian date.
long long DaysFromCivil(long long year, unsigned month, unsigned day) {
    year -= month <= 2;
    const long long era = (year >= 0 ? year : year - 399) / 400;
    const unsigned yearOfEra = static_cast<unsigned>(year - era * 400);
    const unsigned shifted = month > 2 ? month - 3 : month + 9;
    const unsigned dayOfYear = (153 * shifted + 2) / 5 + day - 1;
    const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + static_cast<long long>(dayOfEra) - 719468;
}

// "YYYYMMDDhhmmss[.fraction]Z", as 100 ns units since 1601.
unsigned long long GeneralizedTime(const Der::Element& element) {
    const std::string text(reinterpret_cast<const char*>(element.content), element.length);
    Need(text.size() >= 15 && text.back() == 'Z');
    auto number = [&](size_t at, size_t digits) {
        unsigned value = 0;
        for (size_t i = at; i < at + digits; ++i) {
            Need(text[i] >= '0' && text[i] <= '9');
            value = value * 10 + static_cast<unsigned>(text[i] - '0');
        }
        return value;
    };
    const unsigned year = number(0, 4), month = number(4, 2), day = number(6, 2);
    const unsigned hour = number(8, 2), minute = number(10, 2), second = number(12, 2);
    static const unsigned kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    Need(year >= 1601 && month >= 1 && month <= 12 && day >= 1 &&
         day <= (month == 2 && !leap ? 28u : kDays[month - 1]) && hour < 24 && minute < 60 &&
         second < 60);
    const long long days = DaysFromCivil(year, month, day) - DaysFromCivil(1601, 1, 1);
    const unsigned long long seconds =
        static_cast<unsigned long long>(days) * 86400ull + hour * 3600ull + minute * 60ull + second;
    return seconds * 10000000ull;
}

} // namespace

size_t ImprintLength(ImprintHash hash) {
    switch (hash) {
    case ImprintHash::Sha384:
        return 48;
    case ImprintHash::Sha512:
        return 64;
    case ImprintHash::Sha256:
        break;
    }
    return 32;
}

Der::Element EncapsulatedTstInfo(const BYTE* token, size_t length) {
    Der::Reader outer(token, length);
    Der::Element contentInfo, type, explicitContent, signedData, version, algorithms, encap,
        encapType, wrapped, octets;
    Need(outer.Expect(Der::kSequence, contentInfo));
    Der::Reader info(contentInfo);
    Need(info.Expect(Der::kOid, type) && type.IsOid(Der::kOidSignedData) &&
         info.Expect(Der::kContext0, explicitContent));
    Der::Reader content(explicitContent);
    Need(content.Expect(Der::kSequence, signedData));
    Der::Reader fields(signedData);
    Need(fields.Expect(Der::kInteger, version) && fields.Expect(Der::kSet, algorithms) &&
         fields.Expect(Der::kSequence, encap));
    Der::Reader encapsulated(encap);
    Need(encapsulated.Expect(Der::kOid, encapType) && encapType.IsOid(kOidTstInfo) &&
         encapsulated.Expect(Der::kContext0, wrapped));
    Der::Reader inner(wrapped);
    Need(inner.Expect(Der::kOctetString, octets));
    return octets;
}

TstInfo DecodeTstInfo(const BYTE* data, size_t length) {
    TstInfo result;
    Der::Reader outer(data, length);
    Der::Element info, version, policy, imprint, algorithm, algorithmOid, hashed, serial, time;
    Need(outer.Expect(Der::kSequence, info));
    Der::Reader fields(info);
    Need(fields.Expect(Der::kInteger, version) && fields.Expect(Der::kOid, policy) &&
         fields.Expect(Der::kSequence, imprint) && fields.Expect(Der::kInteger, serial) &&
         fields.Expect(kGeneralizedTime, time));
    Der::Reader imprintFields(imprint);
    Need(imprintFields.Expect(Der::kSequence, algorithm) &&
         imprintFields.Expect(Der::kOctetString, hashed));
    Der::Reader algorithmFields(algorithm);
    Need(algorithmFields.Expect(Der::kOid, algorithmOid));
    if (algorithmOid.IsOid(kOidSha256)) {
        result.imprintHash = ImprintHash::Sha256;
    } else if (algorithmOid.IsOid(kOidSha384)) {
        result.imprintHash = ImprintHash::Sha384;
    } else if (algorithmOid.IsOid(kOidSha512)) {
        result.imprintHash = ImprintHash::Sha512;
    } else {
        throw TimestampError(TimestampProblem::UnsupportedImprint);
    }
    result.imprint = Bytes(hashed);
    Need(result.imprint.size() == ImprintLength(result.imprintHash));
    result.genTime = GeneralizedTime(time);
    // accuracy, ordering, nonce, tsa, extensions: only the nonce matters here.
    Der::Element optional;
    while (fields.Next(optional)) {
        if (optional.Is(Der::kInteger)) {
            result.nonce = Bytes(optional);
        }
    }
    Need(!fields.Failed());
    return result;
}

} // namespace Dossiq::Documents
