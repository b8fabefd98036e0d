#pragma once

// The schemas of the collector's two database files, as UTF-8 SQL text (src/db/schema/*.sql).
namespace lanque {

const char* PageUrlSchemaSql();
const char* SpiderResultSchemaSql();

}  // namespace lanque
