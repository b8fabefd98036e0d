-- De-duplication database PageUrl.mdb: every article address ever collected.
-- Id is a counter that never reuses a value until the table is cleared.
CREATE TABLE `PageUrl` (
  `Id`   INTEGER PRIMARY KEY AUTOINCREMENT,
  `Urls` TEXT
);
CREATE UNIQUE INDEX `PageUrl_Urls` ON `PageUrl` (`Urls`);
