// A client library that lacks one of the functions the database classes look
// up: the first ("mysql_init") or the last ("mysql_fetch_fields"), as
// ZEP3TEST_WITHOUT_FIRST or ZEP3TEST_WITHOUT_LAST says. Binding it must fail
// before anything is called, so every function aborts.
#include <cstdlib>

#define ZEP3TEST_ENTRY(name)                                                                                 \
    extern "C" __attribute__((visibility("default"))) void name() { std::abort(); }

#ifndef ZEP3TEST_WITHOUT_FIRST
ZEP3TEST_ENTRY(mysql_init)
#endif
ZEP3TEST_ENTRY(mysql_real_connect)
ZEP3TEST_ENTRY(mysql_close)
ZEP3TEST_ENTRY(mysql_error)
ZEP3TEST_ENTRY(mysql_query)
ZEP3TEST_ENTRY(mysql_store_result)
ZEP3TEST_ENTRY(mysql_free_result)
ZEP3TEST_ENTRY(mysql_num_rows)
ZEP3TEST_ENTRY(mysql_num_fields)
ZEP3TEST_ENTRY(mysql_fetch_row)
#ifndef ZEP3TEST_WITHOUT_LAST
ZEP3TEST_ENTRY(mysql_fetch_fields)
#endif
