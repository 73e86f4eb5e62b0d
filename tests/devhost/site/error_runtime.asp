<%@ Language="VBScript" %>
<html><body>
<%
Dim a
a = 1
a = a / 0
%>
</body></html>
