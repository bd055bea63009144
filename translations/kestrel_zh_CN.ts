<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>Database</name>
    <message>
        <source>The database file &apos;%1&apos; does not exist</source>
        <translation>数据库文件“%1”不存在</translation>
    </message>
    <message>
        <source>The Qt ODBC driver (QODBC) is not installed</source>
        <translation>没有安装 Qt 的 ODBC 驱动（QODBC）</translation>
    </message>
    <message>
        <source>Invalid object name &apos;%1&apos;.</source>
        <translation>对象名 &apos;%1&apos; 无效。</translation>
    </message>
    <message>
        <source>The database is busy: another program held a lock on it for longer than the tool waits</source>
        <translation>数据库正忙：另一个程序锁住数据库的时间超过了本工具的等待时间</translation>
    </message>
    <message>
        <source>The database could not be written: the disk is full or the file may not grow</source>
        <translation>无法写入数据库：磁盘已满，或数据库文件不能再增大</translation>
    </message>
    <message>
        <source>The database is read-only: its file or its folder may not be written</source>
        <translation>数据库是只读的：数据库文件或其所在文件夹不允许写入</translation>
    </message>
    <message>
        <source>The database cannot be written: its file or its folder is read-only, or missing</source>
        <translation>无法写入数据库：数据库文件或其所在文件夹是只读的，或者不存在</translation>
    </message>
    <message>
        <source>%1 (%2)</source>
        <translation>%1（%2）</translation>
    </message>
    <message>
        <source>Field &apos;%1&apos; not found</source>
        <translation>找不到字段“%1”</translation>
    </message>
    <message>
        <source>Malformed connection string</source>
        <translation>连接字符串格式不正确</translation>
    </message>
    <message>
        <source>FreeTDS cannot take a setting that holds &quot;};&quot;</source>
        <translation>FreeTDS 不能接受含有“};”的设置值</translation>
    </message>
    <message>
        <source>The connection is not an ODBC connection</source>
        <translation>该连接不是 ODBC 连接</translation>
    </message>
    <message>
        <source>The ODBC connection is not open</source>
        <translation>ODBC 连接没有打开</translation>
    </message>
    <message>
        <source>The ODBC driver does not say which DBMS it reaches</source>
        <translation>ODBC 驱动没有说明它连接的是哪种数据库</translation>
    </message>
    <message>
        <source>The ODBC driver cannot take the database path &apos;%1&apos; (it opened &apos;%2&apos; instead): name the file by a path of ASCII characters or use a DSN</source>
        <translation>ODBC 驱动无法使用数据库路径“%1”（它打开的是“%2”）：请用只含 ASCII 字符的路径指定文件，或使用 DSN</translation>
    </message>
    <message>
        <source>The database file &apos;%1&apos; does not exist or is empty</source>
        <translation>数据库文件“%1”不存在或是空的</translation>
    </message>
    <message>
        <source>The ODBC data source is a &quot;%1&quot; database; Kestrel works with Microsoft SQL Server and SQLite only</source>
        <translation>ODBC 数据源是“%1”数据库；本工具只支持 Microsoft SQL Server 和 SQLite</translation>
    </message>
    <message>
        <source>(unnamed)</source>
        <translation>（未命名）</translation>
    </message>
    <message>
        <source>Cannot perform this operation on a closed dataset</source>
        <translation>不能对已关闭的数据集执行此操作</translation>
    </message>
    <message>
        <source>Row %1 is no longer in the result</source>
        <translation>第 %1 行已不在结果中</translation>
    </message>
    <message>
        <source>Dataset not in edit or insert mode</source>
        <translation>数据集不在编辑或插入状态</translation>
    </message>
    <message>
        <source>Unable to read %1: %2</source>
        <translation>无法读取 %1：%2</translation>
    </message>
    <message>
        <source>Unable to write to %1: %2</source>
        <translation>无法写入 %1：%2</translation>
    </message>
    <message>
        <source>A setting must be a single line: %1</source>
        <translation>设置值只能是一行：%1</translation>
    </message>
    <message>
        <source>Integrated login (LinkMode=NT) failed. Outside Windows it needs a Kerberos ticket of the user running the tool (kinit) and the server registered under its name (an SPN such as MSSQLSvc/host.domain:1433, reached by that DNS name). To use a SQL Server login instead, remove LinkMode=NT from Kestrel.ini and set dbUserID and dbPassword. (%1)</source>
        <translation>集成登录（LinkMode=NT）失败。在 Windows 以外，它需要运行本工具的用户持有 Kerberos 票据（kinit），并且服务器以其名称注册（如 MSSQLSvc/host.domain:1433 这样的 SPN，并通过该 DNS 名称访问）。若改用 SQL Server 登录，请从 Kestrel.ini 中删除 LinkMode=NT，并设置 dbUserID 和 dbPassword。(%1)</translation>
    </message>
    <message>
        <source>The rows were not inserted</source>
        <translation>这些行未能插入</translation>
    </message>
    <message>
        <source>The text &apos;%1&apos; has characters that column &apos;%2&apos; (code page %3) cannot hold</source>
        <translation>文本“%1”含有列“%2”（代码页 %3）无法保存的字符</translation>
    </message>
    <message>
        <source>&apos;%1&apos; is outside the dates column &apos;%2&apos; can hold (%3 to %4)</source>
        <translation>“%1”超出了列“%2”能保存的日期范围（%3 至 %4）</translation>
    </message>
</context>
<context>
    <name>Run</name>
    <message>
        <source>Cannot generate a new category key: every key of the form %1 is taken</source>
        <translation>无法生成新的类别编号：%1 形式的编号已全部被占用</translation>
    </message>
    <message>
        <source>An unknown error occurred during the import</source>
        <translation>导入时发生未知错误</translation>
    </message>
    <message>
        <source>Invalid template column number: %1</source>
        <translation>模板列号无效：%1</translation>
    </message>
    <message>
        <source>Field %1 is read from the main row written before, but there is none</source>
        <translation>字段 %1 须从已写入的主记录读取，但尚无主记录</translation>
    </message>
    <message>
        <source>There is no template row here to read column %1 from</source>
        <translation>此处没有模板行可读取第 %1 列</translation>
    </message>
    <message>
        <source>Field %1 has not been written in this row yet</source>
        <translation>字段 %1 在本行中尚未写入</translation>
    </message>
    <message>
        <source>Row %1: column %2 cannot hold the date %3 (it holds %4 to %5)</source>
        <translation>第%1行：列 %2 无法保存日期 %3（可保存 %4 至 %5）</translation>
    </message>
    <message>
        <source>Row %1: column %2 cannot hold the text &quot;%3&quot;: code page %4 lacks some of its characters</source>
        <translation>第%1行：列 %2 无法保存文本“%3”：代码页 %4 缺少其中的部分字符</translation>
    </message>
</context>
<context>
    <name>Text</name>
    <message>
        <source>#NOT CALCULATED</source>
        <translation>#公式未计算</translation>
    </message>
    <message>
        <source>The cell holds the error value %1 and cannot be turned into text</source>
        <translation>单元格的值是错误值 %1，无法转换为文本</translation>
    </message>
</context>
<context>
    <name>Workbook</name>
    <message>
        <source>%1 has no worksheet %2</source>
        <translation>%1 中没有第 %2 个工作表</translation>
    </message>
    <message>
        <source>Worksheet %2 of %1 has no cell at row %3, column %4</source>
        <translation>%1 的第 %2 个工作表中没有第 %3 行第 %4 列的单元格</translation>
    </message>
    <message>
        <source>The workbook is protected by a password and cannot be read</source>
        <translation>工作簿设有密码保护，无法读取</translation>
    </message>
    <message>
        <source>Cannot open the template file %1: %2</source>
        <translation>无法打开模板文件 %1：%2</translation>
    </message>
    <message>
        <source>The file is too large to be a template workbook</source>
        <translation>文件过大，不是模板工作簿</translation>
    </message>
    <message>
        <source>The file cannot be read (%1)</source>
        <translation>文件无法读取（%1）</translation>
    </message>
    <message>
        <source>A ZIP file, but neither an Excel workbook (.xlsx, .xlsm) nor an OpenDocument spreadsheet (.ods)</source>
        <translation>是 ZIP 压缩文件，但不是 Excel 工作簿（.xlsx、.xlsm）或 OpenDocument 电子表格（.ods）</translation>
    </message>
    <message>
        <source>The file is damaged or incomplete (%1 is missing)</source>
        <translation>文件已损坏或不完整（缺少 %1）</translation>
    </message>
    <message>
        <source>The file is damaged or incomplete</source>
        <translation>文件已损坏或不完整</translation>
    </message>
    <message>
        <source>The file is damaged or incomplete (%1)</source>
        <translation>文件已损坏或不完整（%1）</translation>
    </message>
    <message>
        <source>Cell %5 (row %3, column %4) of worksheet &quot;%2&quot; of file &quot;%1&quot; holds the error value %6 and cannot be turned into text</source>
        <translation>文件“%1”的工作表“%2”第%3行第%4列（%5）是错误值 %6，无法转换为文本</translation>
    </message>
    <message>
        <source>Not an Excel 97-2003 (.xls) workbook but a file of a newer format such as .xlsx: save it in Excel as an &quot;Excel 97-2003 Workbook&quot;</source>
        <translation>不是 Excel 97-2003 (.xls) 工作簿，而是 .xlsx 等新格式的文件，请在 Excel 中另存为“Excel 97-2003 工作簿”</translation>
    </message>
    <message>
        <source>Not an Excel 97-2003 (.xls) workbook</source>
        <translation>不是 Excel 97-2003 (.xls) 工作簿</translation>
    </message>
    <message>
        <source>A file of Excel 4.0 or earlier: save it in Excel as an &quot;Excel 97-2003 Workbook&quot;</source>
        <translation>是 Excel 4.0 或更早版本的文件，请在 Excel 中另存为“Excel 97-2003 工作簿”</translation>
    </message>
    <message>
        <source>The file is empty (0 bytes), not an Excel 97-2003 (.xls) workbook</source>
        <translation>文件是空的（0 字节），不是 Excel 97-2003 (.xls) 工作簿</translation>
    </message>
    <message>
        <source>The file does not exist</source>
        <translation>文件不存在</translation>
    </message>
    <message>
        <source>This is a folder, not a workbook file</source>
        <translation>这是一个文件夹，不是工作簿文件</translation>
    </message>
</context>
<context>
    <name>kestrel-import</name>
    <message>
        <source>kestrel-import: warning: %1</source>
        <translation>kestrel-import：注意：%1</translation>
    </message>
    <message>
        <source>option %1 needs a value</source>
        <translation>选项 %1 需要一个值</translation>
    </message>
    <message>
        <source>option %1 given more than once</source>
        <translation>选项 %1 给出了不止一次</translation>
    </message>
    <message>
        <source>unknown option &quot;%1&quot;</source>
        <translation>未知的选项“%1”</translation>
    </message>
    <message>
        <source>--dir needs a folder</source>
        <translation>--dir 需要一个文件夹</translation>
    </message>
    <message>
        <source>no import named</source>
        <translation>没有指定导入</translation>
    </message>
    <message>
        <source>unknown import &quot;%1&quot;</source>
        <translation>未知的导入“%1”</translation>
    </message>
    <message>
        <source>the database has a Sys_System table; the branch identity comes from it and the identity options are ignored</source>
        <translation>数据库中有 Sys_System 表：分店信息取自该表，分店信息选项不起作用</translation>
    </message>
    <message>
        <source>cannot write %1: %2</source>
        <translation>无法写入 %1：%2</translation>
    </message>
    <message>
        <source>usage: kestrel-import [--dir DIR] [--hotel-tree-id T] [--hotel-id H] [--hotel-name N]
                      [--check | --verify | [--record FILE] [--summary]] IMPORT...
IMPORT: stored-value | points | treatment | time-period | rooms-lockers | items-goods |
        employees
  --dir DIR           folder of Kestrel.ini and the templates (default: the program&apos;s folder)
  --hotel-tree-id T   group number, used when the database has no Sys_System table
  --hotel-id H        branch number, likewise
  --hotel-name N      branch name, likewise
  --check             run the checking passes only; write nothing
  --verify            report the template rows whose key is not in the database;
                      write nothing (exit status 1 when any is missing)
  --record FILE       write what each block did to FILE as JSON
  --summary           print one line per block after its completion message
Exit status: 0 completed, 1 a check failed, 2 an error ended an import,
             3 the database cannot be opened, 64 usage error.
</source>
        <translation>用法：kestrel-import [--dir DIR] [--hotel-tree-id T] [--hotel-id H] [--hotel-name N]
                      [--check | --verify | [--record FILE] [--summary]] IMPORT...
IMPORT：stored-value | points | treatment | time-period | rooms-lockers | items-goods |
        employees
  --dir DIR           Kestrel.ini 和模板所在的文件夹（默认：程序所在的文件夹）
  --hotel-tree-id T   集团号，数据库中没有 Sys_System 表时使用
  --hotel-id H        分店号，同上
  --hotel-name N      分店名，同上
  --check             只做检查，不写入任何数据
  --verify            列出关键字不在数据库中的模板行；
                      不写入任何数据（有缺少的行时退出状态为 1）
  --record FILE       把每一批导入的情况以 JSON 写入 FILE
  --summary           每批完成提示之后输出一行概况
退出状态：0 完成，1 检查未通过，2 导入因错误而终止，
          3 无法打开数据库，64 用法错误。
</translation>
    </message>
    <message>
        <source>--check and --verify cannot be combined</source>
        <translation>--check 和 --verify 不能同时使用</translation>
    </message>
    <message>
        <source>--record and --summary go with imports, not with --check or --verify</source>
        <translation>--record 和 --summary 只用于导入，不能与 --check 或 --verify 同时使用</translation>
    </message>
    <message>
        <source>--record needs a file</source>
        <translation>--record 需要一个文件名</translation>
    </message>
    <message>
        <source>%1 %2/%3 %4 worksheet %5: %6 rows, %7 present, %8 missing from %9</source>
        <translation>%1 第%2/%3批 %4 工作表 %5：%6 行，%7 行已在库中，%9 中缺少 %8 行</translation>
    </message>
    <message>
        <source>  missing: row %1 key %2</source>
        <translation>  缺少：第%1行 %2</translation>
    </message>
    <message>
        <source>completed</source>
        <translation>完成</translation>
    </message>
    <message>
        <source>stopped at row %1</source>
        <translation>在第%1行停止</translation>
    </message>
    <message>
        <source>failed</source>
        <translation>出错</translation>
    </message>
    <message>
        <source>stopped by the operator</source>
        <translation>操作员停止</translation>
    </message>
    <message>
        <source>%1 %2/%3: %4, %5 checked, %6 written, %7 left out, %8 categories created, %9 reused, %10 s</source>
        <translation>%1 第%2/%3批：%4，检查 %5 行，写入 %6 行，已存在未写入 %7 行，新建类别 %8 个，沿用 %9 个，用时 %10 秒</translation>
    </message>
</context>
<context>
    <name>kestrel-xlsdump</name>
    <message>
        <source>Note: %1 does not name the code page of its texts; they were read in this computer&apos;s code page %2</source>
        <translation>注意：%1 没有注明文字的代码页，已按本机的代码页 %2 读取</translation>
    </message>
    <message>
        <source>usage: kestrel-xlsdump FILE [SHEET]</source>
        <translation>用法：kestrel-xlsdump 文件 [工作表]</translation>
    </message>
</context>
<context>
    <name>kestrel::ImportLog</name>
    <message>
        <source>The import log %1 cannot be written (%2). The import is not affected; this is not shown again.</source>
        <translation>无法写入导入记录 %1（%2）。导入不受影响；此提示不再显示。</translation>
    </message>
</context>
<context>
    <name>kestrel::TFrmBk_DataOutPut</name>
    <message>
        <source>This import is not available</source>
        <translation>该导入尚未提供</translation>
    </message>
    <message>
        <source>The import was stopped. The block being imported was not written to the database.</source>
        <translation>导入已停止，当前这一批没有写入数据库。</translation>
    </message>
    <message>
        <source>Starting the import…</source>
        <translation>正在开始导入……</translation>
    </message>
    <message>
        <source>Stop the import? The block being imported will not be written to the database.</source>
        <translation>是否停止导入？当前这一批不会写入数据库。</translation>
    </message>
</context>
</TS>
