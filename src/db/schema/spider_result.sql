-- Result database SpiderResult.mdb: one row per collected article.
CREATE TABLE `Content` (
  `Id`      INTEGER PRIMARY KEY AUTOINCREMENT,
  `已采`    TEXT,
  `已发`    TEXT,
  `标题`    TEXT,
  `内容`    TEXT,
  `标题En`  TEXT,
  `内容En`  TEXT,
  `PageUrl` TEXT
);
