#pragma once
// The library is built with hidden visibility; every public class and free
// function carries ZEP3_API.
#define ZEP3_API __attribute__((visibility("default")))
