#include "console/help_texts.h"

#define EXIT_CODES                                                                                 \
    L"\r\nExit codes: 0 success (verify: every container untouched and passed all five\r\n"        \
    L"checks); 1 a container did not pass, or the work could not be done; 2 wrong arguments\r\n"   \
    L"or a file or folder that cannot be read or written.\r\n"

const wchar_t kMainHelp[] =
    L"Dossiq: Signed, Protected and Encrypted Documents from the command line.\r\n"
    L"\r\n"
    L"Usage: dossiq COMMAND [OPTIONS] ...\r\n"
    L"\r\n"
    L"  verify FILE|FOLDER...  check containers as the manager does (--json for a report)\r\n"
    L"  list FILE              list the files in a container\r\n"
    L"  extract FILE           extract the files of a container\r\n"
    L"  create ... -o OUT      make a container without any dialog\r\n"
    L"  certs                  the certificates create can use\r\n"
    L"\r\n"
    L"dossiq COMMAND --help (or /?) describes a command." EXIT_CODES;

const wchar_t kVerifyHelp[] =
    L"Usage: dossiq verify FILE|FOLDER... [--recursive] [--json] [--jobs N]\r\n"
    L"\r\n"
    L"Opens each container (.snx, .pnx, .enx; folders are searched, their subfolders too\r\n"
    L"with --recursive), decrypts it when you hold the key and runs the five checks of the\r\n"
    L"signer's certificate: validity, chain, revocation list, revocation, qualified.\r\n"
    L"\r\n"
    L"  --json      one JSON document (UTF-8) instead of text lines\r\n"
    L"  --jobs N    check N containers at a time (1 to 64, default 1)\r\n"
    L"  --recursive search the subfolders of the folders given\r\n"
    L"\r\n"
    L"Text: one line per container, its verdict (passed, failed, tampered, unreadable,\r\n"
    L"locked, unsigned), path and signer, then each check that did not pass.\r\n" EXIT_CODES;

const wchar_t kListHelp[] =
    L"Usage: dossiq list FILE\r\n"
    L"\r\n"
    L"Prints the size and name of each file in the container.\r\n" EXIT_CODES;

const wchar_t kExtractHelp[] =
    L"Usage: dossiq extract FILE [--to DIR] [--entry NAME]... [--overwrite]\r\n"
    L"\r\n"
    L"Extracts the files of the container (or only the entries named) into DIR (default:\r\n"
    L"the current folder). Names that would lead outside DIR are refused. Nothing is\r\n"
    L"extracted when a file would be replaced, unless --overwrite is given.\r\n" EXIT_CODES;

const wchar_t kCreateHelp[] =
    L"Usage: dossiq create [--sign CERT] [--encrypt-to CERT] -o OUT [--overwrite] "
    L"FILE|FOLDER...\r\n"
    L"\r\n"
    L"Packs the files and folders into a Signed Document (--sign), an Encrypted Document\r\n"
    L"(--encrypt-to) or a Protected Document (both). CERT is a thumbprint, an e-mail\r\n"
    L"address or a part of the subject that names exactly one certificate: for signing\r\n"
    L"one of your qualified certificates with its key (store My), for encrypting one of\r\n"
    L"AddressBook and TrustedPeople. 'dossiq certs' lists them. OUT is not replaced\r\n"
    L"unless --overwrite is given.\r\n" EXIT_CODES;

const wchar_t kCertsHelp[] =
    L"Usage: dossiq certs\r\n"
    L"\r\n"
    L"Lists the signing and recipient certificates create can use, with their thumbprints,\r\n"
    L"and for each other certificate of your store My which test for signing it fails\r\n"
    L"(qcStatements, nameForm, keyUsage, privateKey).\r\n" EXIT_CODES;
