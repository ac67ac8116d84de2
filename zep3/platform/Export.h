#pragma once
/// @file
/// The library is built with hidden visibility; every public class and free
/// function carries ZEP3_API.
#define ZEP3_API __attribute__((visibility("default")))

/// Internal functions that the test suites reach into (never part of the
/// public interface: they live in detail/ headers, which are not installed).
#define ZEP3_TEST_API __attribute__((visibility("default")))
