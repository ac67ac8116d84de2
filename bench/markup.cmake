# CMarkup against pugixml: parse and walk of a generated 20 MB document and
# an element-append loop. pugixml is a benchmark peer only
# (scripts/deps/bench/markup.txt).
find_package(pugixml REQUIRED)
zep3_add_bench(markup SOURCES markup/MarkupBench.cpp LIBS pugixml::pugixml)
