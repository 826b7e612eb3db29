-- The node directory behind the data source "Pelagor".
--
-- Portable SQL: this one file creates the tables on the embedded SQLite engine
-- (the program builds it in when it creates Pelagor.db) and on a database
-- server, where an administrator runs it by hand. Identifiers are unquoted;
-- a server that folds them to lower case is fine, because the program
-- compares column names without regard to case.
--
-- SerialNo is text everywhere, so a serial number keeps its leading zeros and
-- compares equal to its digits between single quotes. Every table has an index
-- on SerialNo; in Node the primary key is that index.

CREATE TABLE Node (
    SerialNo     VARCHAR(10) NOT NULL PRIMARY KEY,
    Name         VARCHAR(20),
    ServerType   SMALLINT    NOT NULL,
    DefaultCodec SMALLINT
);

CREATE TABLE OctelNode (
    SerialNo        VARCHAR(10) NOT NULL,
    PhoneNo         VARCHAR(14),
    Ext             VARCHAR(7),
    DialingSequence VARCHAR(20)
);
CREATE INDEX IX_OctelNode_SerialNo ON OctelNode (SerialNo);

CREATE TABLE VPIMNode (
    SerialNo    VARCHAR(10)  NOT NULL,
    DomainName  VARCHAR(255),
    ProxyDomain VARCHAR(255)
);
CREATE INDEX IX_VPIMNode_SerialNo ON VPIMNode (SerialNo);

-- Begin and end times are stored as typed ("8:30", "9:00 am", "12:00AM");
-- Interval is text too, so a stored 30 reads back as 30.
CREATE TABLE DeliveryWindow (
    WindowID    SMALLINT     NOT NULL,
    MessageType SMALLINT     NOT NULL,
    SerialNo    VARCHAR(10)  NOT NULL,
    BeginTime   VARCHAR(255),
    EndTime     VARCHAR(255),
    Interval    VARCHAR(10)  DEFAULT '30'
);
-- A window is found by its node and message type.
CREATE INDEX IX_DeliveryWindow_SerialNo ON DeliveryWindow (SerialNo, MessageType);

CREATE TABLE Directory (
    SerialNo  VARCHAR(10) NOT NULL,
    Extension VARCHAR(20),
    Name      VARCHAR(64)
);
CREATE INDEX IX_Directory_SerialNo ON Directory (SerialNo);
