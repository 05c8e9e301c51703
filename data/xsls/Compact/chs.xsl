<?xml version="1.0" encoding="Shift_JIS"?>
<!-- Compact: the channel block of Default, dense and text only. -->
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
  <xsl:import href="../Default/chs.xsl"/>
  <!-- Dense and text only: descriptions as plain text, two lines at most. -->
  <xsl:variable name="compact" select="true()"/>
</xsl:stylesheet>
