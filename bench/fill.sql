-- One million generated records of realistic size for the benchmark, in one INSERT ... SELECT
-- over MariaDB's sequence engine. The benchmark program runs this file as root on the
-- connection's utf8mb4 (the literals are UTF-8); the values land in the gbk table converted.
--
-- Each record takes its values from a hash h of its Did, so the table is the same on every run:
--   Auditing      every audit state; 15 % "未审核" (the start-up search scans ~700 rows for 100)
--   BookName      4 to 14 Chinese characters; Author 2 or 3 (one in eight foreign, with a
--                 translator)
--   ISBN          ISBN-13 "978-7-PPPP-TTTT-C" with its check digit, unique per record
--   Introduction  520 to 2,040 characters of GBK text with CR LF line breaks: 1 to 4 KB,
--                 2.5 KB on average
--   Cover         empty: the search, page and row-switch figures are measured without a cover;
--                 the cover figure is measured on its own
SET NAMES utf8mb4;

-- Four paragraphs (782 characters), ten times over: every introduction is a slice of it.
SET @para = CONCAT(
  '本书是作者多年教学与研究工作的总结，系统地介绍了该领域的基本概念、基本原理和基本方法。',
  '全书共分十二章，内容由浅入深，循序渐进，既注重理论的严谨性，又兼顾实际应用的需要。',
  '每章开头给出了本章的学习目标，章末附有小结、思考题和习题，便于读者巩固所学知识。',
  '书中选用了大量来自实际工作的案例，通过对案例的分析，帮助读者理解抽象的理论，',
  '并掌握解决实际问题的思路和技巧。第一章概述了学科的发展历史和研究对象；',
  '第二章至第五章讨论了核心理论及其推导过程；第六章至第九章结合具体实例，',
  '介绍了常用的分析工具与设计方法；第十章至第十二章则展望了学科的前沿方向，',
  '并对若干尚未解决的问题进行了探讨。',
  '\r\n',
  '小说以二十世纪三十年代的江南小镇为背景，讲述了一个普通家庭在时代洪流中的悲欢离合。',
  '主人公自幼丧父，与母亲相依为命，在私塾先生的帮助下读书识字，后来只身前往上海谋生。',
  '他做过学徒、当过店员，也曾在码头上扛过麻袋，尝尽了人间冷暖。',
  '在一次偶然的机会中，他结识了一位进步青年，从此走上了一条截然不同的道路。',
  '作者以细腻的笔触描写了人物的内心世界，语言朴实而富有感染力，',
  '真实地再现了那个年代普通人的生活图景，被誉为当代现实主义文学的重要收获。',
  '\r\n',
  '本书适合高等院校相关专业的本科生和研究生作为教材使用，也可供工程技术人员和自学者参考。',
  '为方便教学，本书配有电子课件、习题解答和实验指导书，任课教师可向出版社索取。',
  '与上一版相比，新版修订了部分章节的内容，更正了已发现的错误，',
  '增加了近年来出现的新技术和新方法，并更新了全部参考文献。',
  '\r\n',
  '历史是一面镜子。作者以严谨的治学态度，广泛搜集正史、地方志、笔记和出土文献，',
  '对这一时期的政治制度、经济结构、社会风俗和文化思想作了全面而深入的考察。',
  '书中既有宏观的叙述，也有微观的考证，见解独到，文笔流畅，',
  '是一部雅俗共赏的历史读物。书后附有大事年表、人名索引和主要参考书目。',
  '\r\n');
SET @intro = CONVERT(REPEAT(@para, 10) USING gbk);

-- The benchmark sets a bigger buffer pool and redo log before this runs (SET GLOBAL, no
-- restart): one transaction of about 3 GB of rows.
SET unique_checks = 0, foreign_key_checks = 0, sql_log_bin = 0;

INSERT INTO book (Auditing, Did, QQ, BookName, Author, Translation, PublishTime, Publishing,
                  ISBN, Introduction, Download, PassWord, Cover, BigClass, SmallClass, Date)
SELECT
  ELT(st, '未审核', '审核中', '未通过', '已审核', '已失效', '已修改'),
  n,
  CAST(10000 + (h * 31 + n) % 2999990000 AS CHAR),
  CONCAT(
    ELT(1 + h % 24, '深入理解', '现代', '中国', '简明', '实用', '世界', '图解', '经典',
        '精通', '走进', '新编', '大众', '当代', '西方', '基础', '高等', '趣味', '漫话',
        '通俗', '比较', '应用', '古代', '近代', '新时代'),
    ELT(1 + (h DIV 24) % 24, '计算机系统', '经济学原理', '古代史', '心理学', '数据库系统',
        '文学史', '哲学导论', '线性代数', '金融学', '唐诗选读', '宋词赏析', '小说集', '散文选',
        '编程艺术', '算法导论', '管理学', '社会学', '物理学', '有机化学', '通史', '艺术史',
        '红楼梦研究', '人工智能', '网络安全'),
    ELT(1 + (h DIV 576) % 8, '', '', '', '（第2版）', '（第3版）', '（上册）', '（下册）',
        '（修订本）')),
  CONCAT(
    IF(h % 8 = 0, ELT(1 + (h DIV 8) % 4, '[美] ', '[英] ', '[日] ', '[法] '), ''),
    ELT(1 + (h DIV 7) % 24, '王', '李', '张', '刘', '陈', '杨', '黄', '赵', '吴', '周', '徐',
        '孙', '马', '朱', '胡', '郭', '何', '高', '林', '罗', '郑', '梁', '谢', '宋'),
    ELT(1 + (h DIV 168) % 24, '伟', '芳', '建国', '志强', '秀英', '海燕', '明', '丽华',
        '俊杰', '晓东', '红梅', '文博', '子涵', '立新', '国平', '玉兰', '思远', '一鸣',
        '家豪', '雪梅', '春生', '德华', '嘉怡', '振华')),
  IF(h % 8 = 0,
     CONCAT(ELT(1 + (h DIV 11) % 8, '许', '邓', '冯', '韩', '曹', '彭', '曾', '萧'),
            ELT(1 + (h DIV 88) % 8, '晓明', '文', '静', '宏伟', '小平', '嘉', '若愚', '安')),
     ''),
  CONCAT(1985 + h % 39, '-', LPAD(1 + (h DIV 39) % 12, 2, '0')),
  ELT(1 + (h DIV 13) % 12, '人民文学出版社', '机械工业出版社', '清华大学出版社',
      '人民邮电出版社', '电子工业出版社', '商务印书馆', '中华书局', '上海译文出版社',
      '作家出版社', '北京大学出版社', '高等教育出版社', '科学出版社'),
  CONCAT('978-7-', LPAD(i DIV 10000, 4, '0'), '-', LPAD(i % 10000, 4, '0'), '-',
         (10 - (59 + i DIV 10000000 % 10 + 3 * (i DIV 1000000 % 10) + i DIV 100000 % 10
                + 3 * (i DIV 10000 % 10) + i DIV 1000 % 10 + 3 * (i DIV 100 % 10)
                + i DIV 10 % 10 + 3 * (i % 10)) % 10) % 10),
  SUBSTRING(@intro, 1 + h % 4000, 520 + (h DIV 4000) % 1521),
  CONCAT('http://pan.example.com/s/1', LOWER(CONV(h * 7 + n, 10, 36))),
  LPAD(LOWER(CONV(h % 1679616, 10, 36)), 4, '0'),
  '',
  ELT(1 + (h DIV 17) % 6, 'I 文学', 'T 工业技术', 'K 历史、地理', 'F 经济',
      'O 数理科学和化学', 'B 哲学、宗教'),
  ELT(1 + (h DIV 17) % 6, 'I2 中国文学', 'TP 自动化技术、计算机技术', 'K2 中国史',
      'F8 财政、金融', 'O1 数学', 'B84 心理学'),
  IF(st = 1, '',
     DATE_FORMAT(TIMESTAMP '2012-01-01 00:00:00' + INTERVAL (n * 300 + h % 300) SECOND,
                 '%Y-%m-%d %H:%i:%s'))
FROM (
  SELECT seq AS n, h, (seq * 27182817 + 31415926) % 100000000 AS i,
         CASE WHEN h % 100 < 15 THEN 1 WHEN h % 100 < 20 THEN 2 WHEN h % 100 < 30 THEN 3
              WHEN h % 100 < 88 THEN 4 WHEN h % 100 < 94 THEN 5 ELSE 6 END AS st
  FROM (SELECT seq, CRC32(seq) AS h FROM seq_1_to_1000000) AS hashed
) AS g;
