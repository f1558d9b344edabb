// raise; inside a handler passes the same exception outwards.
begin
  try
    try
      raise EConvertError.Create('inner');
    except
      on E: Exception do
      begin
        ShowMessage('seen ' + E.Message);
        raise;
      end;
    end;
  except
    on E: EConvertError do ShowMessage('outer ' + E.ClassName + ' ' + E.Message);
  end;
end.
