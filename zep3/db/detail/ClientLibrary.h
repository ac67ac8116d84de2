#pragma once
// The process's one binding to the MySQL client library: the loaded module,
// its reference count (one per bound connection and per held result) and the
// entry points looked up by name. Acquire and release lock; the entry points
// are read without a lock by whoever holds a reference (they change only
// while nobody does).
#include <zep3/platform/Export.h>

#include <string>

struct st_mysql;
struct st_mysql_res;
struct st_mysql_field;

namespace zep3::detail {

// The client functions the classes call, in the order they are looked up.
// All null while the library is not loaded.
struct MySQLClientApi {
    st_mysql* (*init)(st_mysql*);
    st_mysql* (*realConnect)(st_mysql*, const char* host, const char* user, const char* password,
                             const char* database, unsigned int port, const char* socket,
                             unsigned long flags);
    void (*close)(st_mysql*);
    const char* (*error)(st_mysql*);
    int (*query)(st_mysql*, const char* statement);
    st_mysql_res* (*storeResult)(st_mysql*);
    void (*freeResult)(st_mysql_res*);
    unsigned long long (*numRows)(st_mysql_res*);
    unsigned int (*numFields)(st_mysql_res*);
    char** (*fetchRow)(st_mysql_res*);
    st_mysql_field* (*fetchFields)(st_mysql_res*);
};

// The entry points; valid while the caller holds a reference.
const MySQLClientApi& ClientApi();

// Takes one reference: when the library is not loaded yet, loads `path` and
// looks up every entry point first. False (count unchanged, nothing left
// loaded) when the file cannot be loaded or lacks an entry point.
bool AcquireClientLibrary(const std::string& path);
// One more reference to the library when it is loaded; false when not.
bool AddClientLibraryReference();
// Gives one reference back; the last one unloads the library.
void ReleaseClientLibrary();

// The current number of references (0: not loaded).
ZEP3_TEST_API int ClientLibraryReferences();

} // namespace zep3::detail
