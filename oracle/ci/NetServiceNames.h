#pragma once
// Net service names: the aliases of the client's tnsnames.ora (and of the files it includes),
// offered by the logon dialog as its list of databases.
//
// tnsnames.ora is found the way the installed client finds it: TNS_ADMIN from the environment,
// then TNS_ADMIN in the registry (under the selected home's key, then under SOFTWARE\ORACLE),
// then the home's NET80 / NET20 registry value joined with "admin", and finally the home's
// network/admin directory (net80/admin for a client with the OCI8 base group but without the
// OCI 8.1 group). The default domain comes from names.default_domain in sqlnet.ora beside it.
//
// All three values are computed on first use and kept until UnloadOCI empties them.
#include <string>

namespace quorvel {

class TStrings;
class TStringList;

// When set, the default domain of sqlnet.ora is removed from every alias that ends with it;
// when not set, only a default domain of WORLD is removed.
extern bool StripDefaultDomain;

// The sorted list of aliases (ordering and duplicates ignore case; the first spelling met is
// kept), built on first use. Failures while reading are swallowed: the list then holds what was
// collected so far. nullptr when the client cannot be loaded. The list belongs to the library
// and stays valid until UnloadOCI; copy it (CopyTNSNames) rather than keep the pointer.
TStringList* TNSNames();
// Copies the aliases into dest (cleared first); false, with dest empty, when there is no list.
bool CopyTNSNames(TStrings& dest);

// Full path of tnsnames.ora. Loads the client first; raises when it cannot be loaded.
std::string TNSNamesFile();
// names.default_domain from sqlnet.ora beside tnsnames.ora; empty when not found (and then
// looked for again on the next call).
std::string DefaultDomain();

} // namespace quorvel
