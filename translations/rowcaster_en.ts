<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="zh_CN">
<context>
    <name>Cli</name>
    <message>
        <location filename="../src/cli/ConvertCommand.cpp" line="104"/>
        <source>查重文件 %1 读不出（应是 ISO 2709 或 MARCXML 文件）</source>
        <translation>the holdings file %1 cannot be read (it should be an ISO 2709 or MARCXML file)</translation>
    </message>
    <message>
        <location filename="../src/cli/ConvertCommand.cpp" line="105"/>
        <source>查重文件 %1 中没有一条完整的记录</source>
        <translation>the holdings file %1 holds no whole record</translation>
    </message>
    <message>
        <location filename="../src/cli/ConvertCommand.cpp" line="109"/>
        <source>查重文件 %1 中有 %2 条记录读不出，没有用来查重</source>
        <translation>%2 records of the holdings file %1 cannot be read and were not used for the check</translation>
    </message>
    <message>
        <location filename="../src/cli/ConvertCommand.cpp" line="118"/>
        <source>查重文件 %1 不存在，也没有这个名字的套录目标</source>
        <translation>the holdings file %1 does not exist, and no catalogue target has that name</translation>
    </message>
    <message>
        <location filename="../src/cli/ConvertCommand.cpp" line="315"/>
        <location filename="../src/cli/ConvertCommand.cpp" line="339"/>
        <source>，</source>
        <translation>, </translation>
    </message>
    <message>
        <location filename="../src/cli/ConvertCommand.cpp" line="323"/>
        <source>无</source>
        <translation>none</translation>
    </message>
    <message>
        <location filename="../src/cli/ConvertCommand.cpp" line="324"/>
        <source>列的对应：%1</source>
        <translation>columns mapped: %1</translation>
    </message>
    <message>
        <location filename="../src/cli/ConvertCommand.cpp" line="325"/>
        <source>没有对应的列：%1</source>
        <translation>columns not mapped: %1</translation>
    </message>
    <message>
        <location filename="../src/cli/ConvertCommand.cpp" line="331"/>
        <source>（--map %1=%2）</source>
        <translation> (--map %1=%2)</translation>
    </message>
    <message>
        <location filename="../src/cli/ConvertCommand.cpp" line="338"/>
        <source>没有一列对应题名（200a），无法转换。表格的列：%1</source>
        <translation>no column is mapped to the title (200a), nothing converted. The table&apos;s columns: %1</translation>
    </message>
    <message>
        <location filename="../src/cli/ConvertCommand.cpp" line="340"/>
        <source>请用 --map 列名=200a 指明题名所在的列</source>
        <translation>name the title&apos;s column with --map COLUMN=200a</translation>
    </message>
    <message>
        <location filename="../src/cli/ConvertCommand.cpp" line="398"/>
        <source>追加在 %1 原有的 %2 条记录之后（--overwrite 替换它们）</source>
        <translation>appended to %1 after the %2 records it held (--overwrite replaces them)</translation>
    </message>
    <message>
        <location filename="../src/cli/ConvertCommand.cpp" line="400"/>
        <source>写入 %1 条记录，%2 条有警告，%3 行没有生成记录（%4 行，%5 秒，每秒 %6 行）</source>
        <translation>written %1 records, %2 with warnings, %3 rows failed (%4 rows in %5 s, %6 rows/s)</translation>
    </message>
    <message>
        <location filename="../src/cli/ConvertCommand.cpp" line="408"/>
        <source>（--keep-duplicates 让每一行都生成记录）</source>
        <translation> (--keep-duplicates gives every row its record)</translation>
    </message>
    <message>
        <location filename="../src/cli/ConvertCommand.cpp" line="412"/>
        <source>第一个未生成记录的是第 %1 行：%2</source>
        <translation>first failure, row %1: %2</translation>
    </message>
    <message>
        <location filename="../src/cli/ConvertCommand.cpp" line="415"/>
        <source>套录：%1 行套录到，%2 行未套录到（查询 %3 次，取自缓存 %4 次）</source>
        <translation>copy cataloguing: %1 rows copied, %2 rows not found (%3 queries, %4 from the cache)</translation>
    </message>
    <message>
        <location filename="../src/cli/ConvertCommand.cpp" line="422"/>
        <source>查重：%1 行本馆已有，其中 %2 行没有转换（--held convert 照样转换，--held items 只写馆藏）</source>
        <translation>holdings check: the library holds %1 rows already, %2 of them were not converted (--held convert converts them anyway, --held items writes their items only)</translation>
    </message>
    <message>
        <location filename="../src/cli/ConvertCommand.cpp" line="425"/>
        <source>已停止，写入了 %1 条记录</source>
        <translation>stopped after %1 records</translation>
    </message>
    <message>
        <location filename="../src/cli/ConvertCommand.cpp" line="485"/>
        <source>%1 里有 %2 条记录，没有改动；--overwrite 可以替换它</source>
        <translation>%1 holds %2 records and was left as it was; --overwrite replaces it</translation>
    </message>
    <message>
        <location filename="../src/cli/ConvertCommand.cpp" line="493"/>
        <source>无法写入报告 %1：%2</source>
        <translation>cannot write the report %1: %2</translation>
    </message>
    <message>
        <location filename="../src/cli/CatalogueCommands.cpp" line="31"/>
        <source>%1 不可用（错误 %2：%3）</source>
        <translation>%1 is not available (error %2: %3)</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="470"/>
        <source>“%1”不是 z3950:// 或 sru:// 开头的地址</source>
        <translation>&apos;%1&apos; is not an address beginning with z3950:// or sru://</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="471"/>
        <source>地址中没有主机名</source>
        <translation>the address has no host name</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="472"/>
        <source>端口“%1”不是 1 到 65535 的数</source>
        <translation>the port &apos;%1&apos; is not a number from 1 to 65535</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="473"/>
        <source>不认识的设置“%1”（syntax、esn、charset、name、own）</source>
        <translation>unknown setting &apos;%1&apos; (syntax, esn, charset, name, own)</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="474"/>
        <source>记录格式“%1”不是 unimarc 或 marcxml</source>
        <translation>the record syntax &apos;%1&apos; is not unimarc or marcxml</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="475"/>
        <source>字符集“%1”不是 utf-8、gbk 或 gb18030</source>
        <translation>the character set &apos;%1&apos; is not utf-8, gbk or gb18030</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="476"/>
        <source>own=“%1”应是 yes 或 no</source>
        <translation>own=&apos;%1&apos; should be yes or no</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="477"/>
        <source>Z39.50 地址中没有数据库名</source>
        <translation>the Z39.50 address has no database name</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="478"/>
        <source>套录目标文件中有一项不是地址，也没有 host</source>
        <translation>an entry of the targets file is neither an address nor has a host</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="479"/>
        <source>套录目标文件不是 JSON 列表</source>
        <translation>the targets file is not a JSON list</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="481"/>
        <source>没有名为“%1”的套录目标（rowcaster-cli targets 列出已设置的目标）</source>
        <translation>no catalogue target is named &apos;%1&apos; (rowcaster-cli targets lists the configured ones)</translation>
    </message>
    <message>
        <location filename="../src/cli/CatalogueCommands.cpp" line="41"/>
        <source>：</source>
        <translation>: </translation>
    </message>
    <message>
        <location filename="../src/cli/CatalogueCommands.cpp" line="83"/>
        <source>%1：%2 中没有找到</source>
        <translation>%1: not found in %2</translation>
    </message>
    <message>
        <location filename="../src/cli/CatalogueCommands.cpp" line="105"/>
        <source>没有设置套录目标（%1）</source>
        <translation>no catalogue targets are configured (%1)</translation>
    </message>
    <message>
        <location filename="../src/cli/CatalogueCommands.cpp" line="109"/>
        <source>本馆目录（查重）</source>
        <translation>the library&apos;s own catalogue (holdings check)</translation>
    </message>
    <message>
        <location filename="../src/cli/CatalogueCommands.cpp" line="121"/>
        <source>%1 可以使用（%2 秒）</source>
        <translation>%1 answers (%2 s)</translation>
    </message>
</context>
<context>
    <name>Words</name>
    <message>
        <location filename="../src/words/RunMessage.cpp" line="15"/>
        <source>无法写入输出文件 %1：%2</source>
        <translation>Cannot write the output file %1: %2</translation>
    </message>
    <message>
        <location filename="../src/words/RunMessage.cpp" line="16"/>
        <source>已写入 %1 条完整的记录。</source>
        <translation>%1 whole records were written.</translation>
    </message>
    <message>
        <location filename="../src/words/RunMessage.cpp" line="28"/>
        <source>转换结束：写入 %1 条记录，%2 行没有生成记录。<byte value="xd"/>
第一个未生成记录的是第 %3 行：%4</source>
        <translation>Conversion finished: %1 records written, %2 rows gave no record.<byte value="xd"/>
The first row without a record is row %3: %4</translation>
    </message>
    <message>
        <location filename="../src/words/RunMessage.cpp" line="32"/>
        <source>写入 %1 条记录，其中 %2 条有警告。</source>
        <translation>%1 records written, %2 of them with warnings.</translation>
    </message>
    <message>
        <location filename="../src/words/RunMessage.cpp" line="34"/>
        <source>写入的记录中 %1 条有警告。</source>
        <translation>%1 of the records written have warnings.</translation>
    </message>
    <message>
        <location filename="../src/words/RunMessage.cpp" line="43"/>
        <source>记录写成了 %1。</source>
        <translation>Records written as %1.</translation>
    </message>
    <message>
        <location filename="../src/words/RunMessage.cpp" line="56"/>
        <source>转换已停止：写入了 %1 条完整的记录，表格共 %2 行。</source>
        <translation>The conversion was stopped: %1 whole records written; the table has %2 rows.</translation>
    </message>
    <message>
        <location filename="../src/words/RunMessage.cpp" line="70"/>
        <location filename="../src/words/RunMessage.cpp" line="75"/>
        <source>操作提示</source>
        <translation>Notice</translation>
    </message>
    <message>
        <location filename="../src/words/RunMessage.cpp" line="74"/>
        <source>输出文件和转换前一样：这次没有写入记录。</source>
        <translation>The output file is as it was before the conversion: no records were written this time.</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="25"/>
        <location filename="../src/words/Words.cpp" line="197"/>
        <source>没有题名</source>
        <translation>no title</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="26"/>
        <source>没有出版社库</source>
        <translation>no publisher table</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="27"/>
        <source>出版社库不能用：%1</source>
        <translation>the publisher table cannot be used: %1</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="28"/>
        <source>无法取得拼音：%1</source>
        <translation>no pinyin: %1</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="29"/>
        <source>记录生成失败：%1</source>
        <translation>the record could not be built: %1</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="30"/>
        <source>记录写不出：%1</source>
        <translation>the record could not be written: %1</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="31"/>
        <source>记录为空</source>
        <translation>the record is empty</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="32"/>
        <source>内存不足</source>
        <translation>out of memory</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="34"/>
        <source>处理这一行时出错</source>
        <translation>this row could not be processed</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="35"/>
        <source>处理这一行时出错：%1</source>
        <translation>this row could not be processed: %1</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="36"/>
        <source>没有第 %1 行</source>
        <translation>there is no row %1</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="37"/>
        <source>“%1”是合计或结束行，没有生成记录</source>
        <translation>“%1” is a total or end row; no record made</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="40"/>
        <source>%1（列“%2”）在字段 %3 中长 %4 字节，超过单个字段 9,999 字节的上限</source>
        <translation>%1 (column “%2”) makes field %3 %4 bytes long, over the 9,999 bytes one field can hold</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="42"/>
        <source>字段 %1 长 %2 字节，超过单个字段 9,999 字节的上限</source>
        <translation>Field %1 is %2 bytes long, over the 9,999 bytes one field can hold</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="54"/>
        <source>第 %1 行与这一行重复，并入这一条记录，复本数合计 %2（905 $f）</source>
        <translation>repeated in row(s) %1, merged into this record, %2 copies in all (905 $f)</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="56"/>
        <source>第 %1 行与这一行重复，并入这一条记录；复本数“%2”读不出，没有相加</source>
        <translation>repeated in row(s) %1, merged into this record; the copies “%2” cannot be read and were not added up</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="57"/>
        <source>第 %1 行与这一行重复，并入这一条记录</source>
        <translation>repeated in row(s) %1, merged into this record</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="62"/>
        <source>按题名、责任者、出版者和出版年</source>
        <translation>by title, author, publisher and year</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="63"/>
        <source>按 ISBN</source>
        <translation>by ISBN</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="65"/>
        <source>%1，%2</source>
        <translation>%1, %2</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="66"/>
        <source>%1 记录号 %2，%3</source>
        <translation>%1 record %2, %3</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="68"/>
        <source>本馆已有（%1），没有转换</source>
        <translation>the library holds it already (%1); not converted</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="69"/>
        <source>本馆已有（%1），照样转换</source>
        <translation>the library holds it already (%1); converted anyway</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="70"/>
        <source>本馆已有（%1），只写了加馆藏用的简要记录</source>
        <translation>the library holds it already (%1); a brief record for its items only</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="76"/>
        <source>ISBN %1 的校验位不对，写入 010 $z</source>
        <translation>ISBN %1 has a wrong check digit; written to 010 $z</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="77"/>
        <source>“%1”不是 ISBN，没有写入 010</source>
        <translation>“%1” is not an ISBN; no 010 written</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="78"/>
        <source>价格“%1”读不出，没有写入 010 $d</source>
        <translation>the price “%1” cannot be read; no 010 $d written</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="79"/>
        <source>没有出版年，100 $a 的出版日期记为不详</source>
        <translation>no year of publication; the date in 100 $a is recorded as unknown</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="81"/>
        <source>出版日期“%1”中没有年份，100 $a 的出版日期记为不详</source>
        <translation>the date “%1” holds no year; the date in 100 $a is recorded as unknown</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="83"/>
        <source>%1 个 %2 中没有的字符写成了“?”：%3</source>
        <translation>%1 characters %2 lacks were written as “?”: %3</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="85"/>
        <source>%1 个 XML 不允许的控制字符没有写出：%2</source>
        <translation>%1 control characters XML does not allow were left out: %2</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="87"/>
        <source>“%1”不是完整的名称，没有写入 7XX，请核对责任者</source>
        <translation>“%1” is no whole name and was not written to 7XX; check the statement of responsibility</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="89"/>
        <source>推定“%1”为译者（702 $4 译）</source>
        <translation>“%1” taken for the translator (written to 702)</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="90"/>
        <source>“%1”不是责任者，没有写入 7XX</source>
        <translation>“%1” names nobody and was not written to 7XX</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="92"/>
        <source>“%1”重复出现，只写一个检索点（略去责任方式“%2”）</source>
        <translation>“%1” is named twice; one heading written (the role “%2” left out)</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="93"/>
        <source>题名像商品标题，请核对</source>
        <translation>The title looks like a shop listing; please check it</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="95"/>
        <source>ISBN %1 的校验位不对，写入 010 $z；它可能是 ISBN-10 %2 前加了 978 而没有重算校验位</source>
        <translation>ISBN %1 has a wrong check digit; written to 010 $z; it is probably ISBN-10 %2 with 978 put before it and its check digit not recomputed</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="97"/>
        <source>尺寸“%1”读不出，照原样写入 215 $d</source>
        <translation>Size “%1” cannot be read; written to 215 $d as given</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="98"/>
        <source>“%1”不是中图法分类号，没有写入 690</source>
        <translation>“%1” is not a CLC class number; no 690 written</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="100"/>
        <source>题名“%1”不是中文，又没有作品语种，101 $a 记为 und</source>
        <translation>The title “%1” is not Chinese and no language is given; 101 $a is und</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="103"/>
        <source>这是译著，但看不出原作语种，101 没有 $c</source>
        <translation>A translation, but the original language is not known; 101 has no $c</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="104"/>
        <source>这是译著，但看不出国别“%1”的原作语种，101 没有 $c</source>
        <translation>A translation, but the original language of nationality “%1” is not known; 101 has no $c</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="106"/>
        <source>题名分为正题名“%1”和副题名“%2”（200 $e）</source>
        <translation>Title split into the title proper “%1” and the subtitle “%2” (200 $e)</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="108"/>
        <source>题名中的“%1”写入 %2</source>
        <translation>“%1” of the title written to %2</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="110"/>
        <source>出版日期“%1”是年份 %2 被当作日期读出，取 %2 年</source>
        <translation>Publication date “%1” is the year %2 read as a date; the year %2 taken</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="112"/>
        <source>出版日期“%1”是日期的序号，取其年份 %2</source>
        <translation>Publication date “%1” is a date’s serial number; its year %2 taken</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="113"/>
        <source>尺寸“%1”换算为 %2</source>
        <translation>Size “%1” converted to %2</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="115"/>
        <source>“%1”没有写责任方式，推定为“%2”（200 $f、7XX $4）</source>
        <translation>“%1” has no role word; taken as “%2” (200 $f, 7XX $4)</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="118"/>
        <source>条形码“%1”中有读不出的条码或范围，照原样写入</source>
        <translation>Barcodes “%1” hold a piece that reads as no barcode or range; written as given</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="120"/>
        <source>复本数 %1 与条形码的数目 %2 不符，按条形码写入 %2 个复本</source>
        <translation>%1 copies given, but %2 barcodes: %2 copies written, one a barcode</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="122"/>
        <source>没有设置编目机构代码，801 $b 和 905 $a 都是空的（--agency 或方案的 agency）</source>
        <translation>No agency code is set: 801 $b and 905 $a are empty (--agency, or the profile&apos;s agency)</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="124"/>
        <source>“%1”表示没有值，没有写入 %2</source>
        <translation>“%1” stands for no value; not written to %2</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="126"/>
        <source>“%1”中的“|”是子字段标识符，写成了“｜”</source>
        <translation>The “|” in “%1” marks subfields; written as “｜”</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="128"/>
        <source>“%1”中 GBK 没有的字符换成了形近字：“%2”</source>
        <translation>Characters GBK lacks in “%1” written as look-alikes: “%2”</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="130"/>
        <source>按国别“%1”推定原作语种为 %2（101 $c）</source>
        <translation>Original language taken as %2 from the nationality “%1” (101 $c)</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="131"/>
        <source>未套录到，写入按本行数据生成的记录</source>
        <translation>Not found in the catalogues; the row&apos;s own record is written</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="133"/>
        <source>%1 中这个 ISBN 的记录题名是“%2”，与本行题名“%3”不符，没有套录</source>
        <translation>in %1 this ISBN&apos;s record has the title &apos;%2&apos;, not the row&apos;s title &apos;%3&apos;; not copied</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="136"/>
        <source>%1 返回的记录读不出，没有套录</source>
        <translation>the records %1 sent could not be read; not copied</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="138"/>
        <source>套录目标 %1 不可用（错误 %2：%3），之后的行没有再查询它</source>
        <translation>the catalogue %1 is unavailable (error %2: %3); later rows did not ask it</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="142"/>
        <source>套录自 %1（记录号 %2）</source>
        <translation>copied from %1 (record %2)</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="143"/>
        <source>套录自 %1</source>
        <translation>copied from %1</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="145"/>
        <source>%1 本行是“%2”，套录的记录是“%3”，保留记录的</source>
        <translation>%1: the row has &apos;%2&apos;, the copied record &apos;%3&apos;; the record&apos;s is kept</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="146"/>
        <source>没有找到出版地，210 $a 记为“[出版地不详]”</source>
        <translation>No place of publication found; 210 $a says the place is unknown</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="148"/>
        <source>出版者“%1”可能是“%2”的简称，ISBN 不能证实，照原样写入 210 $c</source>
        <translation>Publisher “%1” may be short for “%2”, which the ISBN does not confirm; written as given in 210 $c</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="151"/>
        <source>与第 %1 行重复，并入那一行的记录</source>
        <translation>repeats row %1, merged into its record</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="153"/>
        <source>题名与第 %1 行相同而 ISBN 不同，请核对</source>
        <translation>the same title as row %1 under another ISBN; please check</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="155"/>
        <source>出版者一栏的“%1”是版次或日期，不是出版者</source>
        <translation>“%1” in the publisher column is an edition or a date, not a publisher</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="157"/>
        <source>按 ISBN 的出版者号，210 $c 记为“%1”</source>
        <translation>210 $c takes “%1” from the ISBN’s publisher prefix</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="159"/>
        <source>出版者“%1”按 ISBN 的出版者号补全为“%2”</source>
        <translation>Publisher “%1” completed to “%2” from the ISBN’s publisher prefix</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="167"/>
        <source>%1 还有 %2 条记录也相符（%3），套录了题名最相符的一条</source>
        <translation>%1 has %2 more records that fit (%3); the one whose title fits best was copied</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="173"/>
        <source>%1 个私用区字符照原样写出，图书馆系统可能显示不出：%2</source>
        <translation>%1 private-use characters written as they are, which a library system may not show: %2</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="175"/>
        <source>同一题名有不同的 ISBN，卷次“%1”写入 200 $h</source>
        <translation>the title has several ISBNs; the volume “%1” written to 200 $h</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="184"/>
        <source>第 %1 条记录的目录不对</source>
        <translation>record %1 has a damaged directory</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="186"/>
        <source>第 %1 条记录的位置上有不属于记录的字节</source>
        <translation>bytes that begin no record stand where record %1 should</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="188"/>
        <source>第 %1 条记录没有记录结束符</source>
        <translation>record %1 has no record terminator</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="189"/>
        <source>第 %1 条记录的长度不对</source>
        <translation>the length of record %1 is wrong</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="191"/>
        <source>输出文件里%1，文件没有改动。请换一个输出文件，或选择替换</source>
        <translation>In the output file %1; the file was left as it was. Choose another output file, or replace it</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="198"/>
        <source>是合计或结束行</source>
        <translation>are totals or end rows</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="199"/>
        <source>有字段超过 9,999 字节</source>
        <translation>with a field over 9,999 bytes</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="200"/>
        <source>条形码读不出</source>
        <translation>with barcodes that cannot be read</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="201"/>
        <source>复本数与条形码数目不符</source>
        <translation>whose copies and barcodes disagree</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="202"/>
        <source>ISBN 校验位不对</source>
        <translation>with a wrong ISBN check digit</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="203"/>
        <source>ISBN 是 978 加 ISBN-10 的旧校验位</source>
        <translation>with an ISBN of 978 and an ISBN-10&apos;s old check digit</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="204"/>
        <source>ISBN 一栏不是 ISBN</source>
        <translation>whose ISBN cell holds no ISBN</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="205"/>
        <source>价格读不出</source>
        <translation>with a price that cannot be read</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="206"/>
        <source>没有出版年</source>
        <translation>without a year of publication</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="207"/>
        <source>出版日期中没有年份</source>
        <translation>with a date of publication without a year</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="208"/>
        <source>有输出编码中没有的字符</source>
        <translation>with characters the output&apos;s encoding lacks</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="209"/>
        <source>有 XML 不允许的控制字符</source>
        <translation>with control characters XML does not allow</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="210"/>
        <source>责任者中有不完整的名称</source>
        <translation>with a piece of a name among the persons</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="211"/>
        <source>题名像商品标题</source>
        <translation>whose title looks like a shop listing</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="212"/>
        <source>尺寸读不出</source>
        <translation>with a size that cannot be read</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="213"/>
        <source>分类号不是中图法分类号</source>
        <translation>whose class number is no CLC class number</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="214"/>
        <source>题名不是中文又没有语种</source>
        <translation>with a title not in Chinese and no language given</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="215"/>
        <source>是译著但看不出原作语种</source>
        <translation>translated from a language not known</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="216"/>
        <source>推定了译者</source>
        <translation>with a translator inferred</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="217"/>
        <source>责任者一栏有不是责任者的值</source>
        <translation>with a value in the persons that names nobody</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="218"/>
        <source>同一责任者重复出现，只写一个检索点</source>
        <translation>naming a person twice, given one heading</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="219"/>
        <source>题名分出了副题名</source>
        <translation>with a subtitle split from the title</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="220"/>
        <source>题名中的版次、卷册或装帧移到了别的字段</source>
        <translation>with an edition, part or binding moved out of the title</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="222"/>
        <source>出版年取自日期单元格的序号</source>
        <translation>with the year taken from a date cell&apos;s serial number</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="223"/>
        <source>尺寸换算为厘米</source>
        <translation>with the size converted to centimetres</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="224"/>
        <source>的责任方式是推定的</source>
        <translation>with a role assumed</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="225"/>
        <source>按国别推定了原作语种</source>
        <translation>with the original language taken from a nationality</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="226"/>
        <source>有表示“没有”的值（0、无、-），没有写入</source>
        <translation>with values standing for none (0, 无, -), left out</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="227"/>
        <source>有“|”写成了“｜”</source>
        <translation>with “|” written as “｜”</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="228"/>
        <source>有 GBK 没有的字符换成了形近字</source>
        <translation>with characters GBK lacks written as look-alikes</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="229"/>
        <source>未套录到</source>
        <translation>not found in the catalogues</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="230"/>
        <source>查到的记录题名不符，没有套录</source>
        <translation>the record found has another title and was not copied</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="231"/>
        <source>查到的记录读不出</source>
        <translation>the records found could not be read</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="232"/>
        <source>套录目标不可用</source>
        <translation>a catalogue was unavailable</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="233"/>
        <source>是套录的记录</source>
        <translation>are copied records</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="234"/>
        <source>出版者或出版年与套录的记录不同</source>
        <translation>differ from the copied record in publisher or year</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="235"/>
        <source>没有找到出版地</source>
        <translation>without a place of publication found</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="236"/>
        <source>与前面的行重复，并入了那一行的记录</source>
        <translation>repeating an earlier row, merged into its record</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="237"/>
        <source>题名与别的行相同而 ISBN 不同</source>
        <translation>with the title of another row under another ISBN</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="238"/>
        <source>的记录合并了后面重复的行</source>
        <translation>whose records took in later rows repeating them</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="239"/>
        <source>的卷次从卷次列写入 200 $h</source>
        <translation>with the volume column written to 200 $h</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="240"/>
        <source>有照原样写出的私用区字符</source>
        <translation>with private-use characters written as they are</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="241"/>
        <source>本馆已有，没有转换</source>
        <translation>held by the library, not converted</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="242"/>
        <source>套录目标中还有别的相符记录</source>
        <translation>other records in the catalogue fit too</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="243"/>
        <source>本馆已有，照样转换了</source>
        <translation>held by the library, converted anyway</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="244"/>
        <source>本馆已有，只写了馆藏</source>
        <translation>held by the library, items only</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="245"/>
        <source>出版者可能是简称</source>
        <translation>whose publisher may be a shortened name</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="246"/>
        <source>出版者一栏是版次或日期</source>
        <translation>whose publisher column holds an edition or a date</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="247"/>
        <source>出版者按 ISBN 的出版者号写入</source>
        <translation>whose publisher was taken from the ISBN</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="248"/>
        <source>出版者按 ISBN 的出版者号补全</source>
        <translation>whose publisher was completed from the ISBN</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="272"/>
        <source>错误</source>
        <translation>Error</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="273"/>
        <source>警告</source>
        <translation>Warning</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="274"/>
        <location filename="../src/words/Words.cpp" line="417"/>
        <source>说明</source>
        <translation>Note</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="287"/>
        <location filename="../src/words/Words.cpp" line="407"/>
        <source>；</source>
        <translation>; </translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="293"/>
        <source>请选择导出MARC文件的路径</source>
        <translation>Please choose where to save the MARC file</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="294"/>
        <source>温馨提示</source>
        <translation>Notice</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="295"/>
        <source>系统提示</source>
        <translation>System notice</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="296"/>
        <source> 恭喜，数据已转换完毕！</source>
        <translation> The data have been converted.</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="300"/>
        <source>“题名”</source>
        <translation>“title”</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="301"/>
        <source>“ISBN”</source>
        <translation>“ISBN”</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="302"/>
        <source>“价格”</source>
        <translation>“price”</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="303"/>
        <source>对不起，必备字段：%1不能为忽略！请重新选择！</source>
        <translation>Sorry, the required fields %1 cannot be left unmapped. Please map them.</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="309"/>
        <source>ISO 2709，%1 编码</source>
        <translation>ISO 2709, %1</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="310"/>
        <source>MARCXML（%1）</source>
        <translation>MARCXML (%1)</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="311"/>
        <source>记录列表（%1）</source>
        <translation>record listing (%1)</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="320"/>
        <source>这个文件不是 ISO 2709 记录文件，不能在其后追加记录</source>
        <translation>this file is not an ISO 2709 record file; records cannot be appended to it</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="322"/>
        <source>这个文件不是 MARCXML 记录集合，不能在其后追加记录</source>
        <translation>this file is not a MARCXML collection; records cannot be appended to it</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="324"/>
        <source>这个 MARCXML 文件没有结尾，不能在其后追加记录</source>
        <translation>this MARCXML file has no end; records cannot be appended to it</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="326"/>
        <source>输出文件里已有的记录是 %1 编码，不能在其后追加 %2 编码的记录：一个文件里的记录只能有一种编码，否则读的程序会把一部分读错。请换一个输出文件，或者选择替换</source>
        <translation>the records already in the output file are in %1; records in %2 cannot be appended to them: the records of one file must share one encoding, or a reader misreads some of them. Choose another output file, or replace it</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="337"/>
        <source>第 %1 列</source>
        <translation>column %1</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="338"/>
        <source>方案“%1”有 %2 列在这张表里找不到：%3</source>
        <translation>%2 columns of the profile “%1” are not in this table: %3</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="52"/>
        <location filename="../src/words/Words.cpp" line="170"/>
        <location filename="../src/words/Words.cpp" line="339"/>
        <source>、</source>
        <translation>, </translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="347"/>
        <source>这一列的值只有数字</source>
        <translation>its values are numbers only</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="348"/>
        <source>这一列的值是价格</source>
        <translation>its values are prices</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="349"/>
        <source>这一列的值不是页数</source>
        <translation>its values are no page counts</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="350"/>
        <source>这一列的值没有 ISBN</source>
        <translation>its values hold no ISBN</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="351"/>
        <source>这一列的值没有年份</source>
        <translation>its values hold no year</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="352"/>
        <source>这一列的值没有数字</source>
        <translation>its values hold no number</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="353"/>
        <source>这一列的值不是分类号</source>
        <translation>its values are no class numbers</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="354"/>
        <source>这一列的值不是数量</source>
        <translation>its values are no counts</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="356"/>
        <source>（如“%1”）</source>
        <translation> (such as &quot;%1&quot;)</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="361"/>
        <source>“%1”没有对应 %2：%3</source>
        <translation>&quot;%1&quot; not mapped to %2: %3</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="368"/>
        <source>“%1”是图书的类别，没有对应；可以对应 %2</source>
        <translation>&quot;%1&quot; holds kinds of books, not mapped; it could be %2</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="369"/>
        <source> 或 </source>
        <translation> or </translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="373"/>
        <source>按列名“%1”对应 %2，请核对：选一个字段即修改，右键菜单可全部确认</source>
        <translation>mapped to %2 by the column name &quot;%1&quot;: check it; picking a code changes it, the context menu confirms them all</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="376"/>
        <source>确认按列名对应的字段</source>
        <translation>Confirm the codes mapped by column names</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="380"/>
        <source>输出文件末尾原有一条不完整的记录（%1 字节），已删除，新记录接在最后一条完整记录之后。</source>
        <translation>An incomplete record (%1 bytes) at the end of the output file was cut; the new records follow the last whole one.</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="387"/>
        <source>%1 条记录里共有 %2 个 XML 不允许的控制字符，没有写出（每行的字符见详细信息）。</source>
        <translation>%2 control characters XML does not allow, in %1 records, were left out (each row&apos;s characters are in the details).</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="389"/>
        <source>%1 条记录里共有 %2 个字符 %3 中没有，写成了“?”（每行的字符见详细信息）。要保留这些字符，请改用 GB18030 或 UTF-8 编码输出。</source>
        <translation>%2 characters in %1 records have no code in %3 and were written as “?” (each row&apos;s characters are in the details). To keep them, write GB18030 or UTF-8.</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="395"/>
        <source>%1 条记录里共有 %2 个私用区字符，照原样写出，图书馆系统可能显示不出（每行的字符见详细信息）。</source>
        <translation>%1 records hold %2 private-use characters in all, written as they are; a library system may not show them (each row&apos;s characters in the details).</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="405"/>
        <source>%1 行%2</source>
        <translation>%1 rows %2</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="414"/>
        <source>行</source>
        <translation>Row</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="414"/>
        <source>表格行</source>
        <translation>Sheet row</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="415"/>
        <source>题名</source>
        <translation>Title</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="415"/>
        <source>级别</source>
        <translation>Level</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="416"/>
        <source>类别</source>
        <translation>Kind</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="416"/>
        <source>字段</source>
        <translation>Field</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="444"/>
        <source>%1 行与前面的行重复，已并入前面那一行的记录</source>
        <translation>%1 rows repeated an earlier row and were merged into its record</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="457"/>
        <source>没有生成记录：%1</source>
        <translation>No record: %1</translation>
    </message>
    <message>
        <location filename="../src/words/Words.cpp" line="401"/>
        <location filename="../src/words/Words.cpp" line="407"/>
        <location filename="../src/words/Words.cpp" line="461"/>
        <source>：</source>
        <translation>: </translation>
    </message>
</context>
</TS>
