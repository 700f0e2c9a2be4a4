-- The table of e-book submissions. Column order is the row layout the grid relies on:
-- every listing reads whole rows (select *), so field k is grid column k.
CREATE TABLE IF NOT EXISTS book (
  Auditing     VARCHAR(16),
  Did          INT NOT NULL AUTO_INCREMENT,
  QQ           VARCHAR(20),
  BookName     VARCHAR(255),
  Author       VARCHAR(255),
  Translation  VARCHAR(255),
  PublishTime  VARCHAR(50),
  Publishing   VARCHAR(255),
  ISBN         VARCHAR(50),
  Introduction MEDIUMTEXT,
  Download     VARCHAR(1024),
  PassWord     VARCHAR(50),
  Cover        VARCHAR(1024),
  BigClass     VARCHAR(255),
  SmallClass   VARCHAR(255),
  Date         VARCHAR(50),
  PRIMARY KEY (Did)
) ENGINE=InnoDB DEFAULT CHARSET=gbk;
