-- Tables the host database must hold for Palvo (SQL Server).
-- Palvo reads and writes these tables but never creates them on SQL Server;
-- `palvo init` creates them in an embedded database from this same text, with
-- ntext, text and image for nvarchar(max), varchar(max) and varbinary(max)
-- (written in lower case here).

-- Per-user query and print settings: one row per column of a table, for one
-- named query of one category.
create table 查询打印设置 (
    表名 nvarchar(128) not null,
    字段名 nvarchar(128) not null,
    选择标志 int not null default 0,
    排列顺序 int not null default 0,
    查询类别 nvarchar(50) not null default '',
    查询名 nvarchar(100) not null default '',
    用户名 nvarchar(50) not null default '',
    合计 int not null default 0,
    排序 decimal(9,1) not null default 0,
    分组 int not null default 0,
    查询条件 nvarchar(max) not null default '',
    条件项目 nvarchar(max) not null default ''
)
GO
create index IX_查询打印设置 on 查询打印设置 (表名, 用户名, 查询类别, 查询名)
GO
-- Which column of which table takes its values from a master table.
create table 更新表记录 (
    主表 nvarchar(128) not null,
    主表字段 nvarchar(128) not null,
    附表 nvarchar(128) not null,
    附表字段 nvarchar(128) not null
)
GO
-- Statements to send to the other units.
create table SendSql (
    编号 int identity(1,1) not null primary key,
    语句 nvarchar(max) not null default '',
    操作表 nvarchar(400) not null default '',
    接收单位 nvarchar(400) not null default '',
    发送单位 nvarchar(20) not null default '',
    类型 nvarchar(50) not null default '',
    操作员 nvarchar(50) not null default '',
    文件 varbinary(max) null
)
GO
-- Which units receive the statements of a form made at a unit.
create table 编辑权限 (
    窗体名 nvarchar(100) not null,
    单位 nvarchar(20) not null,
    发送给其他单位 nvarchar(400) not null default ''
)
GO
-- The units of the organisation; "00" is the head unit.
create table B_单位 (
    单位编号 varchar(10) not null primary key,
    名称 nvarchar(100) not null
)
GO
