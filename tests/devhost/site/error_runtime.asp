<%@ Language="VBScript" %>
<html><body><% Option Explicit %>
<%
Dim a
a = 1
a = a / 0
%>
</body></html>
