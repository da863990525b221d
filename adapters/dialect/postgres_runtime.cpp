// The schema `palvo` a PostgreSQL database holds for T-SQL: SQL Server's
// functions under their own names with SQL Server's answers, '+' on text and
// between text and numbers or dates, the identity a connection made last, the
// collation text columns take, and the catalogue (syscolumns, OBJECT_NAME,
// TYPE_NAME) the library reads. Each connection runs this block as it opens; it
// installs the schema once per version, under a lock, so that connections
// opening together do not install it twice. The objects are replaced, never
// dropped: a host's tables and views may depend on them.
#include <string>

#include "postgres.h"

namespace Palvo::dialect {

namespace {

// the version check, the lock, the schema, its collations and the names' type
constexpr std::string_view kHead = R"SQL(do $install$
declare
  wanted constant integer := 7;  -- raised with every change below, so that an upgrade installs it
begin
  if to_regclass('palvo.runtime') is not null then
    if exists (select 1 from palvo.runtime where version = wanted) then
      return;
    end if;
  end if;
  perform pg_advisory_xact_lock(7238501);
  create schema if not exists palvo;
  create table if not exists palvo.runtime (version integer not null);
  if exists (select 1 from palvo.runtime where version = wanted) then
    return;
  end if;

  -- Chinese_PRC_CI_AS: by pinyin, Latin letters before Han, equal without regard to case
  if not exists (select 1 from pg_collation where collname = 'zh'
                 and collnamespace = 'palvo'::regnamespace) then
    create collation palvo.zh (provider = icu, locale = 'zh-u-kr-latn-hani-ks-level2', deterministic = false);
  end if;
  -- names compare as SQL Server's do, without regard to case
  if not exists (select 1 from pg_collation where collname = 'names'
                 and collnamespace = 'palvo'::regnamespace) then
    create collation palvo.names (provider = icu, locale = 'und-u-ks-level2', deterministic = false);
  end if;
  if to_regtype('palvo.sysname') is null then
    create domain palvo.sysname as text collate palvo.names;
  end if;

)SQL";

// '+' on text, numbers and dates
constexpr std::string_view kOperators =
    R"SQL(  -- (the bodies below name pg_catalog's function where the schema has one of the same name)

  -- '+': text joins text; text beside a number becomes that number, as SQL Server converts it;
  -- a number added to a date adds days
  create or replace function palvo.text_plus(text, text) returns text
    language sql immutable as $b$ select $1 || $2 $b$;
  create or replace function palvo.text_plus(text, integer) returns integer
    language sql immutable as $b$ select cast($1 as integer) + $2 $b$;
  create or replace function palvo.text_plus(integer, text) returns integer
    language sql immutable as $b$ select $1 + cast($2 as integer) $b$;
  create or replace function palvo.text_plus(text, numeric) returns numeric
    language sql immutable as $b$ select cast($1 as numeric) + $2 $b$;
  create or replace function palvo.text_plus(numeric, text) returns numeric
    language sql immutable as $b$ select $1 + cast($2 as numeric) $b$;
  create or replace function palvo.days_plus(timestamp, double precision) returns timestamp
    language sql immutable as $b$ select $1 + $2 * interval '1 day' $b$;
  create or replace function palvo.days_minus(timestamp, double precision) returns timestamp
    language sql immutable as $b$ select $1 - $2 * interval '1 day' $b$;
  if not exists (select 1 from pg_operator where oprname = '+' and oprnamespace = 'palvo'::regnamespace) then
    create operator palvo.+ (leftarg = text, rightarg = text, function = palvo.text_plus);
    create operator palvo.+ (leftarg = text, rightarg = integer, function = palvo.text_plus);
    create operator palvo.+ (leftarg = integer, rightarg = text, function = palvo.text_plus);
    create operator palvo.+ (leftarg = text, rightarg = numeric, function = palvo.text_plus);
    create operator palvo.+ (leftarg = numeric, rightarg = text, function = palvo.text_plus);
    create operator palvo.+ (leftarg = timestamp, rightarg = double precision, function = palvo.days_plus);
    create operator palvo.- (leftarg = timestamp, rightarg = double precision, function = palvo.days_minus);
  end if;

)SQL";

// the date functions and CONVERT's styles
constexpr std::string_view kDates = R"SQL(  -- dates
  create or replace function palvo.getdate() returns timestamp
    language sql volatile as $b$ select cast(clock_timestamp() as timestamp(3)) $b$;
  create or replace function palvo.getutcdate() returns timestamp
    language sql volatile as $b$ select cast(clock_timestamp() at time zone 'utc' as timestamp(3)) $b$;
  create or replace function palvo.year(timestamp) returns integer
    language sql immutable as $b$ select cast(extract(year from $1) as integer) $b$;
  create or replace function palvo.month(timestamp) returns integer
    language sql immutable as $b$ select cast(extract(month from $1) as integer) $b$;
  create or replace function palvo.day(timestamp) returns integer
    language sql immutable as $b$ select cast(extract(day from $1) as integer) $b$;
  create or replace function palvo.eomonth(timestamp) returns date
    language sql immutable as $b$ select cast(date_trunc('month', $1) + interval '1 month - 1 day' as date) $b$;
  -- SQL Server counts the boundaries crossed: a week starts on Sunday
  create or replace function palvo.datediff(part text, a timestamp, b timestamp) returns integer
    language sql immutable as $b$
    select cast(case part
      when 'year' then extract(year from b) - extract(year from a)
      when 'quarter' then (extract(year from b) * 4 + extract(quarter from b))
                        - (extract(year from a) * 4 + extract(quarter from a))
      when 'month' then (extract(year from b) * 12 + extract(month from b))
                      - (extract(year from a) * 12 + extract(month from a))
      when 'week' then ((cast(b as date) - cast(extract(dow from b) as integer))
                      - (cast(a as date) - cast(extract(dow from a) as integer))) / 7
      when 'hour' then (extract(epoch from date_trunc('hour', b)) - extract(epoch from date_trunc('hour', a))) / 3600
      when 'minute' then (extract(epoch from date_trunc('minute', b))
                        - extract(epoch from date_trunc('minute', a))) / 60
      when 'second' then extract(epoch from date_trunc('second', b)) - extract(epoch from date_trunc('second', a))
      when 'millisecond' then round((extract(epoch from b) - extract(epoch from a)) * 1000)
      else cast(b as date) - cast(a as date) end as integer) $b$;
  create or replace function palvo.dateadd(part text, n integer, d timestamp) returns timestamp
    language sql immutable as $b$
    select case part
      when 'year' then d + n * interval '1 year'
      when 'quarter' then d + n * interval '3 months'
      when 'month' then d + n * interval '1 month'
      when 'week' then d + n * interval '7 days'
      when 'hour' then d + n * interval '1 hour'
      when 'minute' then d + n * interval '1 minute'
      when 'second' then d + n * interval '1 second'
      when 'millisecond' then d + n * interval '1 millisecond'
      else d + n * interval '1 day' end $b$;
  create or replace function palvo.datepart(part text, d timestamp) returns integer
    language sql immutable as $b$
    select cast(case part
      when 'year' then extract(year from d)
      when 'quarter' then extract(quarter from d)
      when 'month' then extract(month from d)
      when 'dayofyear' then extract(doy from d)
      when 'week' then (extract(doy from d) + extract(dow from date_trunc('year', d)) - 1) / 7 + 1
      when 'weekday' then extract(dow from d) + 1
      when 'hour' then extract(hour from d)
      when 'minute' then extract(minute from d)
      when 'second' then floor(extract(second from d))
      when 'millisecond' then cast(extract(milliseconds from d) as integer) % 1000
      else extract(day from d) end as integer) $b$;
  -- CONVERT's styles of a date as text
  create or replace function palvo.convert_style(d timestamp, style integer) returns text
    language sql immutable as $b$
    select case style
      when 20 then to_char(d, 'YYYY-MM-DD HH24:MI:SS') when 120 then to_char(d, 'YYYY-MM-DD HH24:MI:SS')
      when 21 then to_char(d, 'YYYY-MM-DD HH24:MI:SS.MS') when 121 then to_char(d, 'YYYY-MM-DD HH24:MI:SS.MS')
      when 23 then to_char(d, 'YYYY-MM-DD') when 126 then to_char(d, 'YYYY-MM-DD"T"HH24:MI:SS.MS')
      when 112 then to_char(d, 'YYYYMMDD') when 12 then to_char(d, 'YYMMDD')
      when 102 then to_char(d, 'YYYY.MM.DD') when 2 then to_char(d, 'YY.MM.DD')
      when 111 then to_char(d, 'YYYY/MM/DD') when 11 then to_char(d, 'YY/MM/DD')
      when 101 then to_char(d, 'MM/DD/YYYY') when 1 then to_char(d, 'MM/DD/YY')
      when 103 then to_char(d, 'DD/MM/YYYY') when 3 then to_char(d, 'DD/MM/YY')
      when 8 then to_char(d, 'HH24:MI:SS') when 108 then to_char(d, 'HH24:MI:SS')
      end $b$;
  create or replace function palvo.convert_style(d date, style integer) returns text
    language sql immutable as $b$ select palvo.convert_style(cast(d as timestamp), style) $b$;
  create or replace function palvo.convert_style(t text, style integer) returns text
    language sql immutable as $b$ select t $b$;
  create or replace function palvo.convert_style(n numeric, style integer) returns text
    language sql immutable as $b$ select cast(n as text) $b$;

)SQL";

// the text functions and LIKE
constexpr std::string_view kText = R"SQL(  -- text
  create or replace function palvo.len(text) returns integer
    language sql immutable as $b$ select length(rtrim($1, ' ')) $b$;
  create or replace function palvo.len(anyelement) returns integer
    language sql immutable as $b$ select length(rtrim(cast($1 as text), ' ')) $b$;
  create or replace function palvo.charindex(sought text, s text) returns integer
    language sql immutable as $b$ select strpos(lower(s) collate "C", lower(sought) collate "C") $b$;
  create or replace function palvo.charindex(sought text, s text, start integer) returns integer
    language sql immutable as $b$
    select case when start <= 1 then strpos(lower(s) collate "C", lower(sought) collate "C")
                when strpos(lower(substr(s, start)) collate "C", lower(sought) collate "C") = 0 then 0
                else strpos(lower(substr(s, start)) collate "C", lower(sought) collate "C") + start - 1 end $b$;
  create or replace function palvo.space(integer) returns text
    language sql immutable as $b$ select repeat(' ', $1) $b$;
  create or replace function palvo.replicate(text, integer) returns text
    language sql immutable as $b$ select repeat($1, $2) $b$;
  -- a code out of range is Null, as SQL Server gives it
  create or replace function palvo.char(integer) returns text
    language sql immutable as $b$ select case when $1 between 0 and 255 then chr($1) end $b$;
  create or replace function palvo.nchar(integer) returns text
    language sql immutable as $b$ select case when $1 between 0 and 65535 then chr($1) end $b$;
  -- of an empty text, Null
  create or replace function palvo.unicode(text) returns integer
    language sql immutable as $b$ select case when length($1) > 0 then pg_catalog.ascii($1) end $b$;
  create or replace function palvo.ascii(text) returns integer
    language sql immutable as $b$ select case when length($1) > 0 then pg_catalog.ascii($1) end $b$;
  -- STUFF: NULL when the stretch starts outside the text or its length is negative
  create or replace function palvo.stuff(s text, start integer, n integer, put text) returns text
    language sql immutable as $b$
    select case when start < 1 or start > length(s) or n < 0 then null
                else overlay(s placing coalesce(put, '') from start for n) end $b$;
  -- PATINDEX: where the first stretch LIKE matches begins, 0 when none
  create or replace function palvo.patindex(p text, s text) returns integer
    language plpgsql immutable strict as $b$
    begin
      if left(p, 1) <> '%' then
        return case when palvo.like(s, p) then 1 else 0 end;
      end if;
      for i in 1 .. length(s) loop
        if palvo.like(substr(s, i), substr(p, 2)) then
          return i;
        end if;
      end loop;
      return 0;
    end $b$;
  -- STR: the number rounded, right-aligned in its length; fewer decimals where it does not fit, stars
  -- where its whole part does not
  create or replace function palvo.str(x double precision, len integer default 10, decimals integer default 0)
    returns text language plpgsql immutable strict as $b$
    declare
      t text;
    begin
      for d in reverse least(greatest(decimals, 0), 16) .. 0 loop
        t := cast(pg_catalog.round(cast(x as numeric), d) as text);
        if length(t) <= len then
          return lpad(t, len);
        end if;
      end loop;
      return repeat('*', len);
    end $b$;

  -- LIKE with SQL Server's patterns ([a-c], [^a], no escape character unless given) and
  -- without regard to case; the pattern becomes a regular expression once per statement
  create or replace function palvo.like_pattern(p text) returns text
    language plpgsql immutable strict as $b$
    declare
      r text := '^';
      i integer := 1;
      n integer := length(p);
      c text;
      close integer;
      body text;
    begin
      while i <= n loop
        c := substr(p, i, 1);
        if c = '%' then
          r := r || '.*';
        elsif c = '_' then
          r := r || '.';
        elsif c = '[' then
          close := strpos(substr(p, i + 2), ']');
          if close = 0 then
            r := r || '\[';
          else
            body := substr(p, i + 1, close);
            if left(body, 1) = '^' then
              r := r || '[^' || regexp_replace(substr(body, 2), '([\\\]\[^])', '\\\1', 'g') || ']';
            else
              r := r || '[' || regexp_replace(body, '([\\\]\[^])', '\\\1', 'g') || ']';
            end if;
            i := i + close + 1;
          end if;
        else
          r := r || regexp_replace(c, '([.^$*+?()\[\]{}|\\])', '\\\1');
        end if;
        i := i + 1;
      end loop;
      return r || '$';
    end $b$;
  create or replace function palvo.like(s text, p text) returns boolean
    language sql immutable as $b$
    select lower(s) collate "C" operator(pg_catalog.~) palvo.like_pattern(lower(p) collate "C") $b$;
  -- LIKE ... ESCAPE c: each character after c stands for itself, as a class of its own
  create or replace function palvo.like_escaped(p text, e text) returns text
    language plpgsql immutable strict as $b$
    declare
      r text := '';
      i integer := 1;
      c text;
    begin
      if length(e) <> 1 then
        raise exception 'The invalid escape character "%" was specified in a LIKE predicate.', e
          using errcode = '22025';
      end if;
      while i <= length(p) loop
        c := substr(p, i, 1);
        if c = e and i < length(p) then
          c := substr(p, i + 1, 1);
          r := r || case when c in ('%', '_', '[') then '[' || c || ']' else c end;
          i := i + 2;
        else
          r := r || c;
          i := i + 1;
        end if;
      end loop;
      return r;
    end $b$;
  create or replace function palvo.not_like(s text, p text) returns boolean
    language sql immutable as $b$ select not palvo.like(s, p) $b$;
  if not exists (select 1 from pg_operator where oprname = '~~' and oprnamespace = 'palvo'::regnamespace) then
    create operator palvo.~~ (leftarg = text, rightarg = text, function = palvo.like);
    create operator palvo.!~~ (leftarg = text, rightarg = text, function = palvo.not_like);
  end if;

)SQL";

// ISNULL, IIF, NEWID, the number functions, the identity
constexpr std::string_view kValues = R"SQL(  -- values
  -- a number's whole part, which a cast to a whole type keeps; a text is cast as it is
  create or replace function palvo.int_part(numeric) returns numeric
    language sql immutable as $b$ select trunc($1) $b$;
  create or replace function palvo.int_part(double precision) returns double precision
    language sql immutable as $b$ select trunc($1) $b$;
  create or replace function palvo.int_part(bigint) returns bigint
    language sql immutable as $b$ select $1 $b$;
  create or replace function palvo.int_part(integer) returns integer
    language sql immutable as $b$ select $1 $b$;
  create or replace function palvo.int_part(smallint) returns smallint
    language sql immutable as $b$ select $1 $b$;
  create or replace function palvo.int_part(text) returns text
    language sql immutable as $b$ select $1 $b$;
  create or replace function palvo.isnull(anycompatible, anycompatible) returns anycompatible
    language sql immutable as $b$ select coalesce($1, $2) $b$;
  create or replace function palvo.iif(boolean, anycompatible, anycompatible) returns anycompatible
    language sql immutable as $b$ select case when $1 then $2 else $3 end $b$;
  create or replace function palvo.newid() returns uuid
    language sql volatile as $b$ select gen_random_uuid() $b$;
  create or replace function palvo.ceiling(numeric) returns numeric
    language sql immutable as $b$ select ceil($1) $b$;
  create or replace function palvo.ceiling(double precision) returns double precision
    language sql immutable as $b$ select ceil($1) $b$;
  create or replace function palvo.square(double precision) returns double precision
    language sql immutable as $b$ select $1 * $1 $b$;
  create or replace function palvo.log10(double precision) returns double precision
    language sql immutable as $b$ select log($1) $b$;
  -- a decimal keeps its scale: round(748.58, -2) is 700.00
  create or replace function palvo.round(numeric, integer) returns numeric
    language sql immutable as $b$ select trunc(pg_catalog.round($1, $2), scale($1)) $b$;
  create or replace function palvo.round(numeric, integer, integer) returns numeric
    language sql immutable as $b$
    select trunc(case when $3 = 0 then pg_catalog.round($1, $2) else trunc($1, $2) end, scale($1)) $b$;
  create or replace function palvo.round(double precision, integer) returns double precision
    language sql immutable as $b$ select cast(round(cast($1 as numeric), $2) as double precision) $b$;
  create or replace function palvo.round(double precision, integer, integer) returns double precision
    language sql immutable as $b$ select cast(palvo.round(cast($1 as numeric), $2, $3) as double precision) $b$;
  -- @@IDENTITY and SCOPE_IDENTITY(): NULL before the connection's first identity
  create or replace function palvo.identity() returns numeric
    language plpgsql volatile as $b$
    begin
      return lastval();
    exception when object_not_in_prerequisite_state then
      return null;
    end $b$;

)SQL";

// syscolumns, OBJECT_NAME, OBJECT_ID, TYPE_NAME, and the version recorded
constexpr std::string_view kCatalogue =
    R"SQL(  -- STRING_SPLIT(s, sep): a row for each piece, empty ones too, none for NULL; a separator of other than
  -- one character fails as on SQL Server (214).
  create or replace function palvo.string_split(s text, sep text) returns table (value text)
    language plpgsql immutable as $b$
    begin
      if sep is null or length(sep) <> 1 then
        raise exception 'Procedure expects parameter ''separator'' of type ''nchar(1)/nvarchar(1)''.'
          using errcode = '22023';
      end if;
      return query select x
        from unnest(case when s = '' then array[''] else string_to_array(s collate "C", sep collate "C") end) as x;
    end $b$;

  -- FOR XML PATH: a value as element text, &, < and > and the control characters XML cannot hold bare
  -- (all but tab and line feed) as entities; a date as SQL Server writes it in XML
  create or replace function palvo.xml_text(v text) returns text
    language plpgsql immutable as $b$
    declare
      r text collate "C" := replace(replace(replace(v collate "C", '&', '&amp;'), '<', '&lt;'), '>', '&gt;');
    begin
      if r ~ '[\x01-\x08\x0b-\x1f]' then
        for c in 1..31 loop
          if c not in (9, 10) then
            r := replace(r, chr(c), '&#x' || upper(lpad(to_hex(c), 2, '0')) || ';');
          end if;
        end loop;
      end if;
      return r;
    end $b$;
  create or replace function palvo.xml_text(v numeric) returns text
    language sql immutable as $b$ select cast(v as text) $b$;
  create or replace function palvo.xml_text(v double precision) returns text
    language sql immutable as $b$ select cast(v as text) $b$;
  create or replace function palvo.xml_text(v timestamp) returns text
    language sql immutable as $b$
    select to_char(v, 'YYYY-MM-DD"T"HH24:MI:SS')
           || case when extract(microseconds from v) % 1000000 <> 0 then to_char(v, '.MS') else '' end $b$;
  create or replace function palvo.xml_text(v date) returns text
    language sql immutable as $b$ select to_char(v, 'YYYY-MM-DD') $b$;
  -- (... FOR XML PATH, TYPE).value('.', ...): the text of the XML, its entities undone (text columns'
  -- collation compares, never searches: these read the text as its bytes)
  create or replace function palvo.xml_value(v text) returns text
    language plpgsql immutable as $b$
    declare
      r text collate "C" := regexp_replace(v collate "C", '<[^>]*>', '', 'g');
    begin
      for c in 1..31 loop
        r := replace(r, '&#x' || upper(lpad(to_hex(c), 2, '0')) || ';', chr(c));
      end loop;
      return replace(replace(replace(replace(replace(r, '&lt;', '<'), '&gt;', '>'), '&quot;', '"'),
                     '&apos;', ''''), '&amp;', '&');
    end $b$;

  -- the catalogue: each table and view of the connection's search path with its columns
  -- numbered and typed as SQL Server's syscolumns gives them
  create or replace function palvo.xtype(t text) returns integer
    language sql immutable as $b$
    select case
      when t = 'integer' then 56 when t = 'bigint' then 127 when t = 'smallint' then 52
      when left(t, 7) = 'numeric' then 106 when t = 'double precision' then 62 when t = 'real' then 59
      when left(t, 17) = 'character varying' then 167 when left(t, 9) = 'character' then 175 when t = 'text' then 231
      when t = 'timestamp(3) without time zone' then 61 when t = 'timestamp(0) without time zone' then 58
      when left(t, 9) = 'timestamp' then 42 when t = 'date' then 40 when left(t, 4) = 'time' then 41
      when t = 'uuid' then 36 when t = 'bytea' then 165 when t = 'boolean' then 104
      else 0 end $b$;
  create or replace function palvo.type_name(integer) returns palvo.sysname
    language sql immutable as $b$
    select cast(case $1
      when 56 then 'int' when 127 then 'bigint' when 52 then 'smallint' when 106 then 'decimal'
      when 62 then 'float' when 59 then 'real' when 167 then 'varchar' when 175 then 'char'
      when 231 then 'nvarchar' when 61 then 'datetime' when 58 then 'smalldatetime' when 42 then 'datetime2'
      when 40 then 'date' when 41 then 'time' when 36 then 'uniqueidentifier' when 165 then 'varbinary'
      when 104 then 'bit' end as palvo.sysname) $b$;
  -- the schemas whose tables are the host's: those of the search path but the library's and PostgreSQL's own
  create or replace function palvo.host_schema(name) returns boolean
    language sql stable as $b$
    select $1 = any (current_schemas(false)) and $1 not in ('palvo', 'pg_catalog', 'information_schema') $b$;
  -- the last part of a name as T-SQL writes it ('dbo.[客户]' is 客户), without its brackets or quotes
  create or replace function palvo.name_part(text) returns text
    language sql immutable as $b$
    select regexp_replace(substring($1 from '(\[[^]]*\]|"[^"]*"|[^.]*)$'), '^[\["](.*)[]"]$', '\1') $b$;
  -- a column's type as T-SQL declared it ('nvarchar(50)'), which CREATE TABLE keeps in the column's
  -- comment; for a column made otherwise, the T-SQL type of its PostgreSQL type
  create or replace function palvo.sql_type(rel oid, att smallint, typ oid, typmod integer) returns text
    language sql stable as $b$
    select coalesce(substring(col_description(rel, att) from '^palvo:([a-z0-9]+(\([0-9a-z,]+\))?)$'),
      case
        when t = 'integer' then 'int' when t = 'double precision' then 'float' when t = 'boolean' then 'bit'
        when t = 'text' then 'nvarchar(max)' when t = 'character varying' then 'nvarchar(max)'
        when t = 'uuid' then 'uniqueidentifier' when t = 'bytea' then 'varbinary(max)'
        when t = 'timestamp(3) without time zone' then 'datetime'
        when t = 'timestamp(0) without time zone' then 'smalldatetime'
        when t = 'timestamp without time zone' then 'datetime2(6)'
        when t like 'timestamp(%' then 'datetime2' || substring(t from '\([0-9]+\)')
        when t = 'time without time zone' then 'time(6)'
        when t like 'time(%' then 'time' || substring(t from '\([0-9]+\)')
        when t like 'numeric(%' then 'decimal' || substring(t from '\(.*\)') when t = 'numeric' then 'decimal(38,10)'
        when t like 'character varying(%' then 'varchar' || substring(t from '\(.*\)')
        when t like 'character(%' then 'char' || substring(t from '\(.*\)')
        else t end)
    from (select format_type(typ, typmod) as t) f $b$;
  -- SQL Server's types, as sys.types gives them
  create or replace view palvo."sys.types" as
    select cast(name as palvo.sysname) as name, cast(id as smallint) as system_type_id,
           cast(case when name = 'sysname' then 256 else id end as integer) as user_type_id,
           4 as schema_id, cast(len as smallint) as max_length, cast(prec as smallint) as precision,
           cast(sc as smallint) as scale, cast(1 as smallint) as is_nullable, cast(0 as smallint) as is_user_defined
    from (values ('bigint', 127, 8, 19, 0), ('binary', 173, 8000, 0, 0), ('bit', 104, 1, 1, 0),
                 ('char', 175, 8000, 0, 0), ('date', 40, 3, 10, 0), ('datetime', 61, 8, 23, 3),
                 ('datetime2', 42, 8, 27, 7), ('decimal', 106, 17, 38, 38), ('float', 62, 8, 53, 0),
                 ('image', 34, 16, 0, 0), ('int', 56, 4, 10, 0), ('money', 60, 8, 19, 4),
                 ('nchar', 239, 8000, 0, 0), ('ntext', 99, 16, 0, 0), ('numeric', 108, 17, 38, 38),
                 ('nvarchar', 231, 8000, 0, 0), ('real', 59, 4, 24, 0), ('smalldatetime', 58, 4, 16, 0),
                 ('smallint', 52, 2, 5, 0), ('smallmoney', 122, 4, 10, 4), ('text', 35, 16, 0, 0),
                 ('time', 41, 5, 16, 7), ('tinyint', 48, 1, 3, 0), ('uniqueidentifier', 36, 16, 0, 0),
                 ('varbinary', 165, 8000, 0, 0), ('varchar', 167, 8000, 0, 0), ('sysname', 231, 256, 0, 0))
      as t (name, id, len, prec, sc);
  -- each column of the host's tables and views with its T-SQL type read into its name and arguments
  create or replace view palvo.host_columns as
    select c.oid as rel, cast(cast(c.oid as bigint) as integer) as object_id, c.relkind, n.nspname,
           cast(c.relname as palvo.sysname) as table_name, cast(a.attname as palvo.sysname) as name,
           cast(a.attnum as integer) as column_id, not a.attnotnull as nullable, a.attidentity <> '' as identity,
           substring(d from '^[a-z0-9]+') as base,
           case when d like '%(max)' then -1 else cast(substring(d from '\(([0-9]+)') as integer) end as a1,
           cast(substring(d from ',([0-9]+)\)') as integer) as a2,
           pg_get_expr(ad.adbin, ad.adrelid) as default_value
    from pg_class c join pg_namespace n on n.oid = c.relnamespace join pg_attribute a on a.attrelid = c.oid
    left join pg_attrdef ad on ad.adrelid = c.oid and ad.adnum = a.attnum
    cross join lateral (select palvo.sql_type(c.oid, a.attnum, a.atttypid, a.atttypmod) as d) t
    where c.relkind in ('r', 'v', 'p') and a.attnum > 0 and not a.attisdropped and palvo.host_schema(n.nspname);
  create or replace view palvo."sys.columns" as
    select h.object_id, h.name, h.column_id, t.system_type_id, t.user_type_id,
           cast(case
             when h.base in ('nvarchar', 'nchar') then case when h.a1 < 0 then -1 else 2 * h.a1 end
             when h.base in ('varchar', 'char', 'varbinary', 'binary') then h.a1
             when h.base in ('decimal', 'numeric') then
               case when h.a1 <= 9 then 5 when h.a1 <= 19 then 9 when h.a1 <= 28 then 13 else 17 end
             when h.base = 'datetime2' then case when h.a1 <= 2 then 6 when h.a1 <= 4 then 7 else 8 end
             when h.base = 'time' then case when h.a1 <= 2 then 3 when h.a1 <= 4 then 4 else 5 end
             else t.max_length end as smallint) as max_length,
           cast(case when h.base in ('decimal', 'numeric') then h.a1
                     when h.base = 'datetime2' then case when h.a1 > 0 then 20 + h.a1 else 19 end
                     when h.base = 'time' then case when h.a1 > 0 then 9 + h.a1 else 8 end
                     else t.precision end as smallint) as precision,
           cast(case when h.base in ('decimal', 'numeric') then coalesce(h.a2, 0)
                     when h.base in ('datetime2', 'time') then h.a1 else t.scale end as smallint) as scale,
           cast(case when h.nullable then 1 else 0 end as smallint) as is_nullable,
           cast(case when h.identity then 1 else 0 end as smallint) as is_identity,
           cast(0 as smallint) as is_computed
    from palvo.host_columns h join palvo."sys.types" t on t.name = h.base and t.name <> 'sysname';
  create or replace view palvo."information_schema.columns" as
    select cast(current_database() as palvo.sysname) as table_catalog,
           cast(case when h.nspname = 'public' then 'dbo' else h.nspname end as palvo.sysname) as table_schema,
           h.table_name, cast(h.name as palvo.sysname) as column_name, h.column_id as ordinal_position,
           cast(case when h.default_value is null then null else '(' || h.default_value || ')' end as text)
             as column_default,
           cast(case when h.nullable then 'YES' else 'NO' end as varchar(3)) as is_nullable,
           cast(h.base as palvo.sysname) as data_type,
           case when h.base in ('nvarchar', 'nchar', 'varchar', 'char', 'varbinary', 'binary') then h.a1
                when h.base = 'text' then 2147483647 when h.base = 'ntext' then 1073741823 end
             as character_maximum_length,
           case when h.base in ('nvarchar', 'nchar') then case when h.a1 < 0 then -1 else 2 * h.a1 end
                when h.base in ('varchar', 'char', 'varbinary', 'binary') then h.a1
                when h.base = 'text' then 2147483647 when h.base = 'ntext' then 2147483646 end
             as character_octet_length,
           cast(case when h.base in ('decimal', 'numeric') then h.a1
                     when h.base in ('tinyint', 'smallint', 'int', 'bigint', 'money', 'smallmoney', 'float', 'real')
                       then t.precision end as smallint) as numeric_precision,
           cast(case when h.base in ('float', 'real') then 2
                     when h.base in ('decimal', 'numeric', 'tinyint', 'smallint', 'int', 'bigint', 'money',
                                     'smallmoney') then 10 end as smallint) as numeric_precision_radix,
           case when h.base in ('decimal', 'numeric') then coalesce(h.a2, 0)
                when h.base in ('tinyint', 'smallint', 'int', 'bigint', 'money', 'smallmoney') then t.scale end
             as numeric_scale,
           cast(case when h.base in ('datetime2', 'time') then h.a1 when h.base = 'datetime' then 3
                     when h.base in ('smalldatetime', 'date') then 0 end as smallint) as datetime_precision,
           cast(case when h.base in ('varchar', 'char', 'text') then 'cp936'
                     when h.base in ('nvarchar', 'nchar', 'ntext') then 'UNICODE' end as palvo.sysname)
             as character_set_name,
           cast(case when h.base in ('varchar', 'char', 'text', 'nvarchar', 'nchar', 'ntext')
                     then 'Chinese_PRC_CI_AS' end as palvo.sysname) as collation_name
    from palvo.host_columns h join palvo."sys.types" t on t.name = h.base and t.name <> 'sysname';
  -- the host's tables and views as SQL Server's sys.objects, sys.tables and sys.views give them
  create or replace view palvo."sys.objects" as
    select cast(c.relname as palvo.sysname) as name, cast(cast(c.oid as bigint) as integer) as object_id,
           cast(null as integer) as principal_id, 1 as schema_id, 0 as parent_object_id,
           cast(case when c.relkind = 'v' then 'V' else 'U' end as char(2)) as type,
           cast(case when c.relkind = 'v' then 'VIEW' else 'USER_TABLE' end as varchar(60)) as type_desc,
           cast(0 as smallint) as is_ms_shipped, cast(0 as smallint) as is_published,
           cast(0 as smallint) as is_schema_published
    from pg_class c join pg_namespace n on n.oid = c.relnamespace
    where c.relkind in ('r', 'v', 'p') and palvo.host_schema(n.nspname);
  create or replace view palvo."sys.tables" as
    select * from palvo."sys.objects" where type = 'U';
  create or replace view palvo."sys.views" as
    select o.*, cast(case when v.reloptions @> array['check_option=cascaded'] or
                                v.reloptions @> array['check_option=local'] then 1 else 0 end as smallint)
                  as with_check_option
    from palvo."sys.objects" o join pg_class v on cast(cast(v.oid as bigint) as integer) = o.object_id
    where o.type = 'V';
  create or replace view palvo."information_schema.tables" as
    select cast(current_database() as palvo.sysname) as table_catalog,
           cast(case when n.nspname = 'public' then 'dbo' else n.nspname end as palvo.sysname) as table_schema,
           cast(c.relname as palvo.sysname) as table_name,
           cast(case when c.relkind = 'v' then 'VIEW' else 'BASE TABLE' end as varchar(10)) as table_type
    from pg_class c join pg_namespace n on n.oid = c.relnamespace
    where c.relkind in ('r', 'v', 'p') and palvo.host_schema(n.nspname);
  create or replace view palvo."information_schema.views" as
    select t.table_catalog, t.table_schema, t.table_name, cast(null as text) as view_definition,
           cast(case when v.with_check_option = 1 then 'CASCADE' else 'NONE' end as varchar(7)) as check_option,
           cast('NO' as varchar(2)) as is_updatable
    from palvo."information_schema.tables" t
    join palvo."sys.views" v on v.name = t.table_name and t.table_type = 'VIEW';
  -- each table's indexes: its primary key is its clustered index (1), a table without one a heap (0), the
  -- others numbered from 2 in the order they were made
  create or replace view palvo."sys.indexes" as
    select cast(cast(c.oid as bigint) as integer) as object_id, cast(i.relname as palvo.sysname) as name,
           cast(case when x.indisprimary then 1
                     else 1 + row_number() over (partition by c.oid, x.indisprimary order by i.oid) end as integer)
             as index_id,
           cast(case when x.indisprimary then 1 else 2 end as smallint) as type,
           cast(case when x.indisprimary then 'CLUSTERED' else 'NONCLUSTERED' end as varchar(60)) as type_desc,
           cast(case when x.indisunique then 1 else 0 end as smallint) as is_unique,
           cast(case when x.indisprimary then 1 else 0 end as smallint) as is_primary_key,
           cast(case when k.contype = 'u' then 1 else 0 end as smallint) as is_unique_constraint
    from pg_class c join pg_namespace n on n.oid = c.relnamespace join pg_index x on x.indrelid = c.oid
    join pg_class i on i.oid = x.indexrelid left join pg_constraint k on k.conindid = i.oid and k.contype = 'u'
    where c.relkind in ('r', 'p') and palvo.host_schema(n.nspname)
    union all
    select cast(cast(c.oid as bigint) as integer), null, 0, cast(0 as smallint), 'HEAP', cast(0 as smallint),
           cast(0 as smallint), cast(0 as smallint)
    from pg_class c join pg_namespace n on n.oid = c.relnamespace
    where c.relkind in ('r', 'p') and palvo.host_schema(n.nspname)
      and not exists (select 1 from pg_index x where x.indrelid = c.oid and x.indisprimary);
  -- DROP INDEX T.ix, ix ON T: the index only where it is that table's (`shown`: the names as written)
  create or replace function palvo.drop_index(tbl text, ix text, if_exists boolean, shown text) returns void
    language plpgsql volatile as $b$
    declare
      found regclass;
    begin
      select cast(i.oid as regclass) into found
      from pg_index x join pg_class i on i.oid = x.indexrelid join pg_class t on t.oid = x.indrelid
      join pg_namespace n on n.oid = t.relnamespace
      where i.relname = ix and t.relname = tbl
        and (palvo.host_schema(n.nspname) or n.oid = pg_my_temp_schema());
      if found is null then
        if if_exists then
          return;
        end if;
        raise exception 'index "%" does not exist', shown using errcode = '42704';
      end if;
      execute format('drop index %s', found);
    end $b$;
  create or replace function palvo.object_name(integer) returns palvo.sysname
    language sql stable as $b$
    select cast(relname as palvo.sysname) from pg_class where cast(oid as bigint) = $1 $b$;
  -- OBJECT_ID(name, type): a table (U) or view (V), or a procedure (P), function (FN, IF) or trigger (TR)
  -- of the library's module table (any of them for the type ''), numbered past the tables' numbers
  create or replace function palvo.object_id(text, text) returns integer
    language plpgsql stable as $b$
    declare
      kind text := upper(btrim($2));
      bare text := lower(palvo.name_part($1));
      found integer;
    begin
      if kind in ('U', 'V') then
        select cast(cast(c.oid as bigint) as integer) into found from pg_class c
        join pg_namespace n on n.oid = c.relnamespace
        where palvo.host_schema(n.nspname) and lower(c.relname) = bare
          and (c.relkind in ('r', 'p') and kind = 'U' or c.relkind = 'v' and kind = 'V')
        limit 1;
        return found;
      end if;
      if to_regclass('palvo_modules') is null then
        return null;
      end if;
      execute 'select 1073741824 + (hashtext(lower(name)) & 1073741823) from palvo_modules '
              'where lower(name) = $1 and (type = $2 or $3) limit 1' into found using bare, kind, kind = '';
      return found;
    end $b$;
  -- OBJECT_ID(name): the table or view, else the module
  create or replace function palvo.object_id(text) returns integer
    language sql stable as $b$
    select coalesce(palvo.object_id($1, 'U'), palvo.object_id($1, 'V'), palvo.object_id($1, '')) $b$;
  create or replace function palvo.col_length(text, text) returns smallint
    language sql stable as $b$
    select max_length from palvo."sys.columns" where object_id = palvo.object_id($1) and name = $2 $b$;
  create or replace view palvo.syscolumns as
    select cast(cast(c.oid as bigint) as integer) as id, cast(a.attname as palvo.sysname) as name,
           cast(a.attnum as smallint) as colid, palvo.xtype(format_type(a.atttypid, a.atttypmod)) as xtype,
           cast(case when a.attlen > 0 then a.attlen
                     when a.atttypmod > 4 and a.atttypid in (1042, 1043) then a.atttypmod - 4
                     else -1 end as smallint) as length,
           case when a.attnotnull then 0 else 1 end as isnullable
    from pg_class c join pg_attribute a on a.attrelid = c.oid join pg_namespace n on n.oid = c.relnamespace
    where c.relkind in ('r', 'v', 'p') and a.attnum > 0 and not a.attisdropped
      and palvo.host_schema(n.nspname);

  delete from palvo.runtime;
  insert into palvo.runtime values (wanted);
end
$install$
)SQL";

}  // namespace

std::string_view postgresRuntime() {
    // one statement: a block the server runs whole
    static const std::string block = [] {
        std::string b;
        for (std::string_view part : {kHead, kOperators, kDates, kText, kValues, kCatalogue}) b += part;
        return b;
    }();
    return block;
}

}  // namespace Palvo::dialect
