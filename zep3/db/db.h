#pragma once
/// @file
/// Database client: MySQL/MariaDB connections and their stored results.
#include <zep3/db/MySQLConnection.h>
#include <zep3/db/MySQLResult.h>
