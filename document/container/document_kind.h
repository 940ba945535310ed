// The three kinds of document container and their names: the display name per
// user-interface language, the extension (without dot) from the neutral table, and the
// Open/Save As filter built from the two.
#pragma once

#include <initializer_list>
#include <string>

namespace Dossiq::Documents {

enum class DocumentKind {
    Signed,    // signedData, "snx"
    Protected, // envelopedData around signedData, "pnx"
    Encrypted, // envelopedData around data, "enx"
};

// "snx", "pnx" or "enx".
std::wstring KindExtension(DocumentKind kind);
// "Signed Document", ... in the preference language.
std::wstring KindDisplayName(DocumentKind kind);

// One entry of a common file dialog's filter: "Signed Document (*.snx)" and "*.snx".
struct FileFilter {
    std::wstring label;
    std::wstring pattern;
};
FileFilter KindFilter(DocumentKind kind);

// The filter text of a common file dialog listing `kinds` in order: label and pattern of
// each, every one ended by a zero, and a final zero.
std::wstring FilterText(std::initializer_list<DocumentKind> kinds);

} // namespace Dossiq::Documents
