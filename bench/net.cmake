# Packets per second through CClientSocket and CClientASocket against a plain
# writev/recv loop over a loopback connection.
zep3_add_bench(packets SOURCES net/PacketBench.cpp)
