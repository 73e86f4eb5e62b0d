<%@ Language="VBScript" %><%
Server.ScriptTimeout = 1
Dim n
Do
    n = n + 1
Loop
%>
