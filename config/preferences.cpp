#include "config/preferences.h"

#include <msxml2.h>
#include <ole2.h>
#include <shlobj.h>

#include <cwchar>
#include <new>
#include <utility>

#include "foundation/com_ptr.h"
#include "foundation/environment.h"
#include "foundation/exception.h"
#include "foundation/io/path.h"
#include "foundation/win32_exception.h"

namespace Dossiq::Config {

namespace {

// The MSXML 3.0 identifiers; the import library does not carry them.
const CLSID kClsidDomDocument30 = {
    0xf5078f32, 0xc551, 0x11d3, {0x89, 0xb9, 0x00, 0x00, 0xf8, 0x1f, 0xe2, 0x21}};
const IID kIidXmlDomDocument2 = {
    0x2933bf95, 0x7b36, 0x11d2, {0xb2, 0x0e, 0x00, 0xc0, 0x4f, 0x98, 0x3e, 0x60}};
const IID kIidXmlDomElement = {
    0x2933bf86, 0x7b36, 0x11d2, {0xb2, 0x0e, 0x00, 0xc0, 0x4f, 0x98, 0x3e, 0x60}};
const IID kIidXmlDomNode = {
    0x2933bf80, 0x7b36, 0x11d2, {0xb2, 0x0e, 0x00, 0xc0, 0x4f, 0x98, 0x3e, 0x60}};

const wchar_t kFolder[] = L"Korvane\\Dossiq_VS";
const wchar_t kFileName[] = L"Config.xml";
const wchar_t kRootName[] = L"Preferences";
const wchar_t kLanguageName[] = L"Language";
const wchar_t kQualifiedCAsName[] = L"QualifiedCAsURL";
const wchar_t kCertChainsName[] = L"CertChainsURL";
const wchar_t kTimestampName[] = L"TimestampURL";
const wchar_t kLongTermName[] = L"LongTerm";
const wchar_t kLongTermDefault[] = L"optional";
const wchar_t kEncryptForMeName[] = L"EncryptForMe";

std::wstring KnownLongTerm(const std::wstring& mode) {
    return mode == L"required" || mode == L"off" ? mode : kLongTermDefault;
}

class Bstr {
public:
    explicit Bstr(const std::wstring& text)
        : value_(::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {
        if (value_ == nullptr) {
            throw std::bad_alloc();
        }
    }
    Bstr() = default;
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    ~Bstr() { ::SysFreeString(value_); }

    BSTR get() const { return value_; }
    BSTR* put() {
        ::SysFreeString(std::exchange(value_, nullptr));
        return &value_;
    }
    std::wstring str() const {
        return value_ ? std::wstring(value_, ::SysStringLen(value_)) : std::wstring();
    }

private:
    BSTR value_ = nullptr;
};

// A string variant that borrows the Bstr's text.
VARIANT StringVariant(const Bstr& text) {
    VARIANT v;
    ::VariantInit(&v);
    v.vt = VT_BSTR;
    v.bstrVal = text.get();
    return v;
}

// COM for the duration of one read or write; a thread that already runs another apartment
// model keeps it and is not uninitialized by us.
class ComScope {
public:
    ComScope() : hr_(::CoInitialize(nullptr)) {}
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;
    ~ComScope() {
        if (SUCCEEDED(hr_)) {
            ::CoUninitialize();
        }
    }

private:
    HRESULT hr_;
};

struct SrwExclusive {
    explicit SrwExclusive(SRWLOCK& lock) : lock_(lock) { ::AcquireSRWLockExclusive(&lock_); }
    ~SrwExclusive() { ::ReleaseSRWLockExclusive(&lock_); }
    SrwExclusive(const SrwExclusive&) = delete;
    SrwExclusive& operator=(const SrwExclusive&) = delete;
    SRWLOCK& lock_;
};

struct SrwShared {
    explicit SrwShared(SRWLOCK& lock) : lock_(lock) { ::AcquireSRWLockShared(&lock_); }
    ~SrwShared() { ::ReleaseSRWLockShared(&lock_); }
    SrwShared(const SrwShared&) = delete;
    SrwShared& operator=(const SrwShared&) = delete;
    SRWLOCK& lock_;
};

// A failed DOM call after the document exists; turned into false at the public boundary.
struct DomFailure {};

void Check(HRESULT hr) {
    if (FAILED(hr)) {
        throw DomFailure();
    }
}

MHFX::ComPtr<IXMLDOMDocument2> CreateXmlDocument() {
    MHFX::ComPtr<IUnknown> unknown;
    if (FAILED(::CoCreateInstance(kClsidDomDocument30, nullptr, CLSCTX_ALL, IID_IUnknown,
                                  unknown.put_void())) ||
        FAILED(::OleRun(unknown.get()))) {
        return nullptr;
    }
    MHFX::ComPtr<IXMLDOMDocument2> document;
    if (FAILED(unknown->QueryInterface(kIidXmlDomDocument2, document.put_void()))) {
        return nullptr;
    }
    Check(document->put_async(VARIANT_FALSE));
    Check(document->put_validateOnParse(VARIANT_FALSE));
    Check(document->put_resolveExternals(VARIANT_FALSE));
    Check(document->put_preserveWhiteSpace(VARIANT_TRUE));
    return document;
}

// The text of the first child element `name` of `element`; false when there is none.
bool SelectChildText(IXMLDOMElement* element, const wchar_t* name, std::wstring& text) {
    MHFX::ComPtr<IXMLDOMNode> node;
    Check(element->selectSingleNode(Bstr(name).get(), node.put()));
    MHFX::ComPtr<IXMLDOMElement> child;
    if (!node || FAILED(node->QueryInterface(kIidXmlDomElement, child.put_void()))) {
        return false;
    }
    Bstr value;
    Check(child->get_text(value.put()));
    text = value.str();
    return true;
}

void AppendChildText(IXMLDOMDocument2* document, IXMLDOMElement* parent, const wchar_t* name,
                     const std::wstring& value) {
    MHFX::ComPtr<IXMLDOMElement> child;
    Check(document->createElement(Bstr(name).get(), child.put()));
    if (!value.empty()) {
        Check(child->put_text(Bstr(value).get()));
    }
    MHFX::ComPtr<IXMLDOMNode> appended;
    Check(parent->appendChild(child.get(), appended.put()));
}

void AppendToDocument(IXMLDOMDocument2* document, IUnknown* node) {
    MHFX::ComPtr<IXMLDOMNode> asNode;
    Check(node->QueryInterface(kIidXmlDomNode, asNode.put_void()));
    MHFX::ComPtr<IXMLDOMNode> appended;
    Check(document->appendChild(asNode.get(), appended.put()));
}

bool IsDirectory(const std::wstring& path) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool IsFile(const std::wstring& path) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

} // namespace

const wchar_t* const Preferences::DefaultURL = L"https://www.euprava.gov.rs/";

Preferences& Preferences::Instance() {
    static Preferences preferences;
    return preferences;
}

Preferences::Preferences()
    : qualifiedCAsURL_(DefaultURL), certChainsURL_(DefaultURL), longTerm_(kLongTermDefault) {}

bool Preferences::Load() {
    SrwExclusive guard(lock_);
    try {
        return LoadLocked();
    } catch (const MHFX::Exception&) {
    } catch (const DomFailure&) {
    } catch (const std::bad_alloc&) {
    }
    return false;
}

bool Preferences::LoadLocked() {
    const std::wstring folder =
        MHFX::IO::Path::Combine(MHFX::Environment::GetFolderPath(CSIDL_APPDATA), kFolder);
    path_ = MHFX::IO::Path::Combine(folder, kFileName);

    if (IsFile(path_)) {
        bool read = false;
        {
            ComScope com;
            read = ReadLocked();
        }
        if (read) {
            modified_ = false;
            return true;
        }
    }
    if (!IsDirectory(folder)) {
        const int result = ::SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr);
        if (result != ERROR_SUCCESS) {
            throw MHFX::Win32Exception(static_cast<DWORD>(result));
        }
    }
    modified_ = true;
    ComScope com;
    return WriteLocked();
}

bool Preferences::Read() {
    SrwExclusive guard(lock_);
    try {
        ComScope com;
        return ReadLocked();
    } catch (const DomFailure&) {
    } catch (const std::bad_alloc&) {
    }
    return false;
}

bool Preferences::ReadLocked() {
    MHFX::ComPtr<IXMLDOMDocument2> document = CreateXmlDocument();
    if (!document) {
        return false;
    }
    Bstr path(path_);
    VARIANT_BOOL loaded = VARIANT_FALSE;
    if (FAILED(document->load(StringVariant(path), &loaded)) || loaded != VARIANT_TRUE) {
        return false;
    }
    MHFX::ComPtr<IXMLDOMElement> root;
    Check(document->get_documentElement(root.put()));
    if (!root) {
        return false;
    }

    std::wstring text;
    // Optional, and read first: a file rewritten for a missing value keeps it. Files written
    // before the element existed lack it: no timestamp service.
    timestampURL_ = SelectChildText(root.get(), kTimestampName, text) ? text : std::wstring();
    longTerm_ = KnownLongTerm(SelectChildText(root.get(), kLongTermName, text) ? text : L"");
    encryptForMe_ = SelectChildText(root.get(), kEncryptForMeName, text) && text == L"true";
    if (!SelectChildText(root.get(), kLanguageName, text)) {
        return false;
    }
    language_ = static_cast<WORD>(::_wtoi(text.c_str()));
    if (!SelectChildText(root.get(), kQualifiedCAsName, text)) {
        return false;
    }
    qualifiedCAsURL_ = text;
    if (!SelectChildText(root.get(), kCertChainsName, text)) {
        return false;
    }
    certChainsURL_ = text;
    return true;
}

bool Preferences::Write() {
    SrwExclusive guard(lock_);
    try {
        ComScope com;
        return WriteLocked();
    } catch (const DomFailure&) {
    } catch (const std::bad_alloc&) {
    }
    return false;
}

bool Preferences::WriteLocked() {
    if (!modified_) {
        return true;
    }
    MHFX::ComPtr<IXMLDOMDocument2> document = CreateXmlDocument();
    if (!document) {
        return false;
    }
    MHFX::ComPtr<IXMLDOMProcessingInstruction> declaration;
    Check(document->createProcessingInstruction(Bstr(L"xml").get(), Bstr(L"version='1.0'").get(),
                                                declaration.put()));
    AppendToDocument(document.get(), declaration.get());
    MHFX::ComPtr<IXMLDOMElement> element;
    Check(document->createElement(Bstr(kRootName).get(), element.put()));
    AppendToDocument(document.get(), element.get());

    MHFX::ComPtr<IXMLDOMElement> root;
    Check(document->get_documentElement(root.put()));
    if (!root) {
        return false;
    }
    wchar_t language[8] = {};
    ::swprintf(language, 8, L"%hu", language_);
    AppendChildText(document.get(), root.get(), kLanguageName, language);
    AppendChildText(document.get(), root.get(), kQualifiedCAsName, qualifiedCAsURL_);
    AppendChildText(document.get(), root.get(), kCertChainsName, certChainsURL_);
    // Without a service the file is what it always was.
    if (!timestampURL_.empty()) {
        AppendChildText(document.get(), root.get(), kTimestampName, timestampURL_);
    }
    // Only a choice away from the default is written: files of earlier versions stay as
    // they were.
    if (longTerm_ != kLongTermDefault) {
        AppendChildText(document.get(), root.get(), kLongTermName, longTerm_);
    }
    if (encryptForMe_) {
        AppendChildText(document.get(), root.get(), kEncryptForMeName, L"true");
    }

    Bstr path(path_);
    if (document->save(StringVariant(path)) != S_OK) {
        return false;
    }
    modified_ = false;
    return true;
}

bool Preferences::WriteLanguage(WORD language) {
    SrwExclusive guard(lock_);
    try {
        ComScope com;
        // What the file holds now, not what it held at start-up: an edit made since stays.
        ReadLocked();
        if (language != language_) {
            language_ = language;
            modified_ = true;
        }
        return WriteLocked();
    } catch (const DomFailure&) {
    } catch (const std::bad_alloc&) {
    }
    return false;
}

std::wstring Preferences::Path() const {
    SrwShared guard(lock_);
    return path_;
}

bool Preferences::IsModified() const {
    SrwShared guard(lock_);
    return modified_;
}

WORD Preferences::Language() const {
    SrwShared guard(lock_);
    return language_;
}

void Preferences::SetLanguage(WORD language) {
    SrwExclusive guard(lock_);
    if (language != language_) {
        language_ = language;
        modified_ = true;
    }
}

std::wstring Preferences::QualifiedCAsURL() const {
    SrwShared guard(lock_);
    return qualifiedCAsURL_;
}

std::wstring Preferences::CertChainsURL() const {
    SrwShared guard(lock_);
    return certChainsURL_;
}

std::wstring Preferences::TimestampURL() const {
    SrwShared guard(lock_);
    return timestampURL_;
}

void Preferences::SetTimestampURL(const std::wstring& url) {
    SrwExclusive guard(lock_);
    if (url != timestampURL_) {
        timestampURL_ = url;
        modified_ = true;
    }
}

std::wstring Preferences::LongTerm() const {
    SrwShared guard(lock_);
    return longTerm_;
}

void Preferences::SetLongTerm(const std::wstring& mode) {
    SrwExclusive guard(lock_);
    const std::wstring known = KnownLongTerm(mode);
    if (known != longTerm_) {
        longTerm_ = known;
        modified_ = true;
    }
}

bool Preferences::EncryptForMe() const {
    SrwShared guard(lock_);
    return encryptForMe_;
}

void Preferences::SetEncryptForMe(bool forMe) {
    SrwExclusive guard(lock_);
    if (forMe != encryptForMe_) {
        encryptForMe_ = forMe;
        modified_ = true;
    }
}

} // namespace Dossiq::Config
