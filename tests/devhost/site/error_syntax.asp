<%@ Language="VBScript" %>
<p>text</p>
<% If True Then %>
<p>unterminated</p>
