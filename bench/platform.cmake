# The software device context's bulk paths against plain memory operations.
zep3_add_bench(drawing SOURCES platform/DrawingBench.cpp)
# Posting and dispatching messages between two threads against a bare
# mutex + condition variable + deque hand-over.
zep3_add_bench(messages SOURCES platform/MessagesBench.cpp)
