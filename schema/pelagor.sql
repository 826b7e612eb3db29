-- The node directory behind the data source "Pelagor".
--
-- Portable SQL: this one file creates the tables on the embedded SQLite engine
-- (the program builds it in when it creates Pelagor.db) and on a database
-- server (PostgreSQL, MariaDB, MySQL), where an administrator runs it by hand
-- with the server's own client. Identifiers are unquoted, except the one that
-- is a reserved word on MariaDB and MySQL; a server that folds names to lower
-- case is fine, because the program compares column names without regard to
-- case.
--
-- Text between "/*!" and "*/" runs on MariaDB and MySQL only, and text between
-- "/*M!" and "*/" on MariaDB only; every other engine reads both as comments.
--
-- SerialNo is text everywhere, so a serial number keeps its leading zeros and
-- compares equal to its digits between single quotes, and to nothing else:
-- MariaDB compares it byte by byte with no padding (by default it would take
-- "42" and "42 " for one serial number). Every table has an index on
-- SerialNo; in Node the primary key is that index.

-- MariaDB and MySQL read "..." as a quoted name, as the other engines do.
/*!40101 SET SESSION sql_mode = CONCAT(@@sql_mode, ',ANSI_QUOTES') */;

CREATE TABLE Node (
    SerialNo     VARCHAR(10) /*M!100202 CHARACTER SET utf8mb4 COLLATE utf8mb4_nopad_bin */ NOT NULL PRIMARY KEY,
    Name         VARCHAR(20),
    ServerType   SMALLINT    NOT NULL,
    DefaultCodec SMALLINT
);

CREATE TABLE OctelNode (
    SerialNo        VARCHAR(10) /*M!100202 CHARACTER SET utf8mb4 COLLATE utf8mb4_nopad_bin */ NOT NULL,
    PhoneNo         VARCHAR(14),
    Ext             VARCHAR(7),
    DialingSequence VARCHAR(20)
);
CREATE INDEX IX_OctelNode_SerialNo ON OctelNode (SerialNo);

CREATE TABLE VPIMNode (
    SerialNo    VARCHAR(10)  /*M!100202 CHARACTER SET utf8mb4 COLLATE utf8mb4_nopad_bin */ NOT NULL,
    DomainName  VARCHAR(255),
    ProxyDomain VARCHAR(255)
);
CREATE INDEX IX_VPIMNode_SerialNo ON VPIMNode (SerialNo);

-- Begin and end times are stored as typed ("8:30", "9:00 am", "12:00AM");
-- Interval is text too, so a stored 30 reads back as 30. INTERVAL is a
-- reserved word on MariaDB and MySQL, so its name is quoted, in lower case:
-- the name PostgreSQL gives an unquoted Interval, so that databases created
-- before it was quoted and after hold the same column.
CREATE TABLE DeliveryWindow (
    WindowID    SMALLINT     NOT NULL,
    MessageType SMALLINT     NOT NULL,
    SerialNo    VARCHAR(10)  /*M!100202 CHARACTER SET utf8mb4 COLLATE utf8mb4_nopad_bin */ NOT NULL,
    BeginTime   VARCHAR(255),
    EndTime     VARCHAR(255),
    "interval"  VARCHAR(10)  DEFAULT '30'
);
-- A window is found by its node and message type; a node has one window of
-- each type, so the export joins each window to its node as one row.
CREATE UNIQUE INDEX IX_DeliveryWindow_SerialNo ON DeliveryWindow (SerialNo, MessageType);

CREATE TABLE Directory (
    SerialNo  VARCHAR(10) /*M!100202 CHARACTER SET utf8mb4 COLLATE utf8mb4_nopad_bin */ NOT NULL,
    Extension VARCHAR(20),
    Name      VARCHAR(64)
);
CREATE INDEX IX_Directory_SerialNo ON Directory (SerialNo);
