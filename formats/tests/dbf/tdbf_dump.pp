{ Prints a dBase table as Free Pascal's TDbf reads it, for the tests to
  compare with what our writer meant to store. One line per field definition,
  then per record one line per field:
    field <name> <type letter> <size> <decimals>
    record <n>
    <name>=<value>
  A null value prints as <null>; a double as the hex of its IEEE bits, so that
  the comparison is exact; character fields as the hex of their bytes, so that
  no code page conversion gets in the way. }
program tdbf_dump;

{$mode objfpc}{$h+}

uses
  SysUtils, DB, Dbf, dbf_fields;

function HexOf(const S: RawByteString): string;
var
  I: Integer;
begin
  Result := '';
  for I := 1 to Length(S) do
    Result := Result + IntToHex(Ord(S[I]), 2);
end;

var
  Table: TDbf;
  I, N: Integer;
  Def: TDbfFieldDef;
  Field: TField;
  D: Double;
  Bits: Int64 absolute D;
  Value: string;
begin
  if ParamCount <> 1 then
  begin
    WriteLn(StdErr, 'usage: tdbf_dump <table.dbf>');
    Halt(2);
  end;
  Table := TDbf.Create(nil);
  try
    Table.FilePathFull := ExtractFilePath(ExpandFileName(ParamStr(1)));
    Table.TableName := ExtractFileName(ParamStr(1));
    Table.ReadOnly := True;
    Table.Open;
    WriteLn('level ', Table.TableLevel);
    for I := 0 to Table.DbfFieldDefs.Count - 1 do
    begin
      Def := Table.DbfFieldDefs.Items[I];
      WriteLn('field ', Def.FieldName, ' ', Def.NativeFieldType, ' ', Def.Size, ' ',
        Def.Precision);
    end;
    N := 0;
    while not Table.EOF do
    begin
      Inc(N);
      WriteLn('record ', N);
      for I := 0 to Table.FieldCount - 1 do
      begin
        Field := Table.Fields[I];
        Def := Table.DbfFieldDefs.Items[I];
        if Field.IsNull then
          Value := '<null>'
        else
          case Def.NativeFieldType of
            'C': Value := HexOf(Field.AsAnsiString);
            'L': Value := BoolToStr(Field.AsBoolean, 'T', 'F');
            'I': Value := IntToStr(Field.AsInteger);
            'O':
              begin
                D := Field.AsFloat;
                Value := IntToHex(Bits, 16);
              end;
          else
            Value := Field.AsString;
          end;
        WriteLn(Field.FieldName, '=', Value);
      end;
      Table.Next;
    end;
    WriteLn('records ', N);
    Table.Close;
  except
    on E: Exception do
    begin
      WriteLn(StdErr, 'error: ', E.Message);
      Halt(1);
    end;
  end;
  Table.Free;
end.
