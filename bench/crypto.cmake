find_package(OpenSSL 3 REQUIRED)
zep3_add_bench(crypto SOURCES crypto/CryptoBench.cpp LIBS OpenSSL::Crypto)
