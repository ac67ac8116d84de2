# Packets per second through CClientSocket and CClientASocket against a plain
# writev/recv loop over a loopback connection.
zep3_add_bench(packets SOURCES net/PacketBench.cpp)

# The web server under wrk against nginx serving the same bytes: not a
# Google Benchmark but a script (bench/net/HttpLoad.sh) around this server.
add_executable(http_load_server net/HttpLoadServer.cpp)
target_link_libraries(http_load_server PRIVATE ZEP3::zep3)
